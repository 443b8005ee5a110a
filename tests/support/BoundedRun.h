// Runs a piece of work in a child process and measures it: whether it came
// back within a time limit (a hang is killed, not waited for), how long it
// took and how much its resident memory grew at the peak. For tests of
// hostile inputs, whose failure on a broken reader is a hang or gigabytes.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace kvtest {

// The thread sanitizer keeps shadow memory several times the size of every
// block the program touches, counts it in the resident size, and makes the
// first touch of each page several times slower. Memory and time bounds are
// scaled by these factors there (RunBounded scales its own limit); they
// still tell one buffer from many and a slow run from a hang. Other builds
// keep the bounds as written.
#if defined(__SANITIZE_THREAD__)
#define KV_TEST_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KV_TEST_TSAN 1
#endif
#endif
#ifdef KV_TEST_TSAN
inline constexpr long kMemoryBoundScale = 5;
inline constexpr unsigned kTimeBoundScale = 4;
#else
inline constexpr long kMemoryBoundScale = 1;
inline constexpr unsigned kTimeBoundScale = 1;
#endif

struct BoundedOutcome {
  bool finished = false;   // false: killed at the time limit, or crashed
  int signal = 0;          // what ended an unfinished run
  int result = -1;         // what the work returned
  double seconds = 0;
  long peakGrowthKb = 0;   // peak resident memory above the start of the work

  std::string Describe() const {
    if (!finished)
      return signal == SIGALRM ? "did not finish within the time limit" : "died of signal " + std::to_string(signal);
    return "returned " + std::to_string(result) + " after " + std::to_string(seconds) + " s, peak memory +" +
           std::to_string(peakGrowthKb / 1024) + " MiB";
  }
};

namespace bounded_detail {

inline long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  return 0;
}

struct Report {
  int result;
  double seconds;
  long peakGrowthKb;
};

}  // namespace bounded_detail

// True when this process runs no other thread, so that a forked child
// cannot inherit a lock some other thread held.
inline bool SingleThreaded() {
  std::size_t threads = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++threads;
  return threads == 1;
}

// `work` runs in a forked child that is killed after limitSeconds.
inline BoundedOutcome RunBounded(const std::function<int()>& work, unsigned limitSeconds = 60) {
  using bounded_detail::Report;
  BoundedOutcome outcome;
  int channel[2];
  if (::pipe(channel) != 0) return outcome;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    ::alarm(limitSeconds * kTimeBoundScale);
    // Start the peak count at the memory the child has now.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = bounded_detail::StatusKb("VmHWM:");
    const auto start = std::chrono::steady_clock::now();
    Report report{work(), 0, 0};
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    report.peakGrowthKb = bounded_detail::StatusKb("VmHWM:") - before;
    const bool sent = ::write(channel[1], &report, sizeof report) == ssize_t(sizeof report);
    ::_exit(sent ? 0 : 1);
  }
  ::close(channel[1]);
  Report report{};
  const bool received = child > 0 && ::read(channel[0], &report, sizeof report) == ssize_t(sizeof report);
  ::close(channel[0]);
  int status = 0;
  if (child > 0) ::waitpid(child, &status, 0);
  if (received && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    outcome.finished = true;
    outcome.result = report.result;
    outcome.seconds = report.seconds;
    outcome.peakGrowthKb = report.peakGrowthKb;
  } else if (WIFSIGNALED(status)) {
    outcome.signal = WTERMSIG(status);
  }
  return outcome;
}

}  // namespace kvtest
