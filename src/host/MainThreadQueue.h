// "Run this on the main thread": the host's front on the platform's one
// main-thread queue (korvane3d/platform/win/MainThread.h). Workers queue
// tasks; the main thread serves them from its message loop, or while it
// waits for a worker, so that a worker blocked in RunAndWait never
// deadlocks a main thread waiting for it.
//
//   worker:  queue.RunAndWait([&] { view.CallOnFlip(); });  // blocks until run
//   main:    queue.Serve();                                 // in the loop
//
// Every front serves the same queue: tasks are run wherever the main thread
// takes work (Serve, ServeUntil, the application loop, PeekMessageA).
// Stop() is the shutdown request of this front: callers blocked in its
// RunAndWait return false without their task having run, and later calls
// return false at once. Posted (non-waiting) tasks are kept and still run
// when served. All members are safe from any thread; tasks run on the
// thread that serves (the main thread).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "korvane3d/platform/win/MainThread.h"
#include "korvane3d/platform/win/ThreadSafety.h"

namespace kv {

class MainThreadQueue {
 public:
  using Clock = platform::MainThreadClock;

  MainThreadQueue() = default;
  ~MainThreadQueue() = default;
  MainThreadQueue(const MainThreadQueue&) = delete;
  MainThreadQueue& operator=(const MainThreadQueue&) = delete;

  // Queues `task` and blocks until it has run. False, without running it,
  // when the queue is or becomes stopped. An exception thrown by the task is
  // rethrown here, in the calling thread.
  bool RunAndWait(std::function<void()> task);
  // Queues `task` without waiting. `tag` lets Cancel find it again.
  void Post(std::function<void()> task, const void* tag = nullptr);
  // Drops posted tasks with this tag that have not started.
  void Cancel(const void* tag);

  // Runs the tasks queued at the time of the call, in order; returns how
  // many ran. Tasks queued meanwhile wait for the next call.
  std::size_t Serve();
  // Serves tasks until `done` holds or the deadline passes, blocking in the
  // main thread's one wait in between; returns whether `done` held. Whoever
  // makes `done` true from another thread calls Wake().
  bool ServeUntil(const std::function<bool()>& done, std::optional<Clock::time_point> deadline = std::nullopt);
  void Wake();

  void Stop();
  void Restart();
  bool Stopped() const;
  // Whether tasks wait to be served.
  bool HasWork() const;

 private:
  mutable Mutex mutex_;
  bool stopped_ KV_GUARDED_BY(mutex_) = false;
  std::vector<std::shared_ptr<platform::MainThreadCall>> waiting_ KV_GUARDED_BY(mutex_);
};

}  // namespace kv
