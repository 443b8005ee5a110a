// "Run this on the main thread": the one hand-off between worker threads and
// the main thread. Workers queue tasks; the main thread serves them from its
// message loop (or while it waits for a worker, so that a worker blocked in
// RunAndWait never deadlocks a main thread waiting for it).
//
//   worker:  queue.RunAndWait([&] { view.CallOnFlip(); });  // blocks until run
//   main:    queue.Serve();                                 // in the loop
//
// Stop() is the shutdown request: callers blocked in RunAndWait return false
// without their task having run, and later calls return false at once.
// Posted (non-waiting) tasks are kept and still run when served. All members
// are safe from any thread; tasks run on whichever thread serves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace kv {

class MainThreadQueue {
 public:
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
  // Serves tasks until `done` holds, blocking in between. `done` is
  // evaluated under the queue's lock, so it must only read (atomics, say);
  // whoever makes it true calls Wake().
  void ServeUntil(const std::function<bool()>& done);
  // Blocks until a task is queued, Wake() is called or `timeout` passes.
  void WaitForWork(std::chrono::milliseconds timeout);
  void Wake();

  void Stop();
  void Restart();
  bool Stopped() const;
  bool HasWork() const;

 private:
  struct Waiter {
    bool done = false;
    bool cancelled = false;
    std::exception_ptr error;
  };
  struct Task {
    std::function<void()> run;
    const void* tag = nullptr;
    std::shared_ptr<Waiter> waiter;  // null for posted tasks
  };
  void RunTask(Task& task);

  mutable std::mutex mutex_;
  std::condition_variable workArrived_;
  std::condition_variable taskDone_;
  std::deque<Task> tasks_;
  bool stopped_ = false;
  std::uint64_t wakes_ = 0;
};

}  // namespace kv
