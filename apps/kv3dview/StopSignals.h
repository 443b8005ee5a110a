// Ctrl-C (SIGINT) and SIGTERM end the viewer the way Esc does: the frames
// stop, a requested screenshot and --save-form are written, the status is 0.
// A second signal while that is under way ends the process at once (status
// 130), for a shutdown that hangs.
//
// The signals are taken by a thread of ours with sigwait, never by a signal
// handler, so the stop runs as ordinary code on the main thread. For that
// every thread must keep them blocked: BlockStopSignals comes first in main,
// before any thread (SDL's, the view's) is started, and they inherit it.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace kv::viewer {

// Blocks SIGINT and SIGTERM in the calling thread and the threads it starts
// from now on.
void BlockStopSignals();

class StopSignals {
 public:
  // Waits for the signals; the first sets Requested() and has `stop` run on
  // the main thread (posted to its queue).
  explicit StopSignals(std::function<void()> stop);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  bool Requested() const { return requested_; }

 private:
  void Wait();

  std::function<void()> stop_;
  std::atomic<bool> requested_{false};
  std::atomic<bool> closing_{false};
  std::thread waiter_;
};

}  // namespace kv::viewer
