// A bound on a test step that could hang (a deadlock between threads): when
// the guarded scope has not ended within its limit, the test program says
// which step hung and exits with a failure, instead of blocking until the
// test runner gives up.
//
//   { kvtest::HangGuard guard(std::chrono::seconds(60), "freeing the mouse from its handler");
//     ... }
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace kvtest {

class HangGuard {
 public:
  HangGuard(std::chrono::seconds limit, std::string what)
      : what_(std::move(what)), watcher_([this, limit] { Watch(limit); }) {}
  ~HangGuard() {
    {
      std::lock_guard lock(mutex_);
      ended_ = true;
    }
    ended_cv_.notify_all();
    watcher_.join();
  }
  HangGuard(const HangGuard&) = delete;
  HangGuard& operator=(const HangGuard&) = delete;

 private:
  void Watch(std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    if (ended_cv_.wait_for(lock, limit, [this] { return ended_; })) return;
    std::fprintf(stderr, "FAILED: hung for %lld s: %s\n", static_cast<long long>(limit.count()), what_.c_str());
    std::fflush(stderr);
    std::_Exit(3);
  }

  std::string what_;
  std::mutex mutex_;
  std::condition_variable ended_cv_;
  bool ended_ = false;
  std::thread watcher_;  // last: it reads the members above
};

}  // namespace kvtest
