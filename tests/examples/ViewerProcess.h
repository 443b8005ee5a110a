// Running kv3dview as its own process, as a user does: RunViewer runs it to
// the end; ViewerProcess starts it and lets a test act on it (keys through
// X, signals) while it runs.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "korvane3d/rm/image/Image.h"
#include "support/RunProgram.h"

extern char** environ;

namespace kvtest {

namespace fs = std::filesystem;

inline const char* ViewerProgram() { return KV_BINARY_DIR "/bin/kv3dview"; }

// Runs kv3dview headless in `folder` with the given arguments (already
// quoted for the shell).
inline RunResult RunViewer(const std::string& arguments, const fs::path& folder) {
  return RunCommand("cd '" + folder.string() + "' && '" + ViewerProgram() + "' --headless " + arguments);
}

// Distinct colours in a PNG: a drawn scene has many, a blank one few.
inline std::size_t ColourCount(const std::string& png) {
  kv::image::Image image;
  if (!kv::image::LoadImageFile(png, image)) return 0;
  return std::set<std::uint32_t>(image.pixels.begin(), image.pixels.end()).size();
}

class ViewerProcess {
 public:
  // Starts kv3dview with `args` in `folder`, its output going to a file
  // there. Each entry of `environment` is NAME=VALUE (set) or NAME (removed).
  ViewerProcess(const std::vector<std::string>& args, const fs::path& folder,
                const std::vector<std::string>& environment = {})
      : output_(folder / "viewer-output.txt") {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      if (!Removed(entry.substr(0, entry.find('=')), environment)) env.push_back(entry);
    }
    for (const std::string& entry : environment)
      if (entry.find('=') != std::string::npos) env.push_back(entry);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings{ViewerProgram()};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~ViewerProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  ViewerProcess(const ViewerProcess&) = delete;
  ViewerProcess& operator=(const ViewerProcess&) = delete;

  bool Started() const { return pid_ > 0; }

  // Whether the process has got as far as blocking SIGINT, the first thing
  // the viewer does: from then on Ctrl-C is the viewer's to handle.
  bool BlocksStopSignals() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("SigBlk:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (SIGINT - 1)) & 1;
    }
    return false;
  }
  bool WaitUntilItBlocksStopSignals(std::chrono::seconds limit = std::chrono::seconds(30)) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!BlocksStopSignals()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  void Signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
  }

  // Waits for the end: the exit status, or -1 when it was ended by a signal
  // or had to be killed after `limit`.
  int Wait(std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int raw = 0;
    while (pid_ > 0) {
      if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        pid_ = 0;
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
      }
      if (std::chrono::steady_clock::now() > end) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

  std::string Output() const {
    std::ifstream in(output_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  static bool Removed(const std::string& name, const std::vector<std::string>& environment) {
    for (const std::string& entry : environment)
      if (entry == name || entry.rfind(name + "=", 0) == 0) return true;
    return false;
  }

  fs::path output_;
  pid_t pid_ = 0;
};

}  // namespace kvtest
