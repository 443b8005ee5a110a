// A private X server for real-window tests: starts Xvfb on a free display
// number, points DISPLAY at it for this process, and stops it again.
// Header-only; include it as "support/XServer.h".
//
//   kvtest::XServer x;                       // 1024x768x24 by default
//   if (!x.Available()) GTEST_SKIP() << x.Reason();
//   ... select the SDL backend, test, select headless again ...
//
// Select another backend (or otherwise close SDL's video) before the XServer
// goes out of scope: the server ends with it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

extern char** environ;

namespace kvtest {

using namespace kv;

class XServer {
 public:
  explicit XServer(int width = 1024, int height = 768, int depth = 24) {
    std::string xvfb = FindProgram("Xvfb");
    if (xvfb.empty()) {
      reason_ = "Xvfb is not installed (Debian package xvfb); real-window test skipped";
      return;
    }
    Start(xvfb, std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth));
  }
  ~XServer() { Stop(); }
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  bool Available() const { return pid_ > 0; }
  // Why the server is not available.
  const std::string& Reason() const { return reason_; }
  // The display name, e.g. ":93".
  const std::string& Display() const { return display_; }

 private:
  static std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
      std::size_t end = dirs.find(':', start);
      if (end == std::string::npos) end = dirs.size();
      std::string candidate = dirs.substr(start, end - start) + "/" + name;
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
      start = end + 1;
    }
    return {};
  }

  // Xvfb chooses a free display number itself (-displayfd) and writes it to
  // the pipe once it accepts connections, so parallel tests never collide.
  void Start(const std::string& xvfb, const std::string& screen) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
      reason_ = "cannot create a pipe for Xvfb";
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);  // dup2 clears close-on-exec
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string fd = "3";
    const char* argv[] = {xvfb.c_str(), "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                          "-nolisten", "tcp", "-noreset", nullptr};
    pid_t pid = 0;
    int rc = posix_spawn(&pid, xvfb.c_str(), &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      close(fds[0]);
      reason_ = "cannot start Xvfb";
      return;
    }
    pid_ = pid;
    std::optional<int> number = ReadDisplayNumber(fds[0]);
    close(fds[0]);
    if (!number) {
      Stop();
      reason_ = "Xvfb did not start within 20 seconds";
      return;
    }
    display_ = ":" + std::to_string(*number);
    if (const char* old = std::getenv("DISPLAY")) oldDisplay_ = old;
    setenv("DISPLAY", display_.c_str(), 1);
  }

  static std::optional<int> ReadDisplayNumber(int fd) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) continue;
      char buf[32];
      ssize_t n = read(fd, buf, sizeof buf);
      if (n <= 0) return std::nullopt;  // the server ended
      text.append(buf, static_cast<std::size_t>(n));
      if (text.find('\n') != std::string::npos) return std::atoi(text.c_str());
    }
    return std::nullopt;
  }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {  // up to 5 s for a clean end
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = 0;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = 0;
    }
    if (display_.empty()) return;
    if (oldDisplay_) {
      setenv("DISPLAY", oldDisplay_->c_str(), 1);
    } else {
      unsetenv("DISPLAY");
    }
  }

  pid_t pid_ = 0;
  std::string display_;
  std::optional<std::string> oldDisplay_;
  std::string reason_;
};

}  // namespace kvtest
