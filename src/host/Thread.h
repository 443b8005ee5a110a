// TThread: a worker thread whose body is the virtual Execute.
//
// A thread must not run Execute before its object is fully constructed, so
// construction and start are two steps:
//
//   auto* loop = TThread::CreateRunning<TRenderLoop>(view);  // built, then started
//   auto worker = std::make_unique<TWorker>();  worker->Start();
//
// Ending a thread: Terminate() asks (Execute polls Terminated(), waits in
// WaitUntilTerminated, or is woken by an override of TerminateRequested),
// WaitFor() waits for Execute to return. Deleting a running thread does
// both. A class whose Execute uses its own members must stop the thread
// (Terminate + WaitFor) in its own destructor, before those members go.
//
// An owner that may be freed from inside the thread's own Synchronize (an
// event handler the thread is waiting for frees the component that owns
// the thread) ends it with Dispose: joining there would wait for the very
// call that waits for the join.
//
// Synchronize(method) runs the method on the main thread and blocks until it
// has run (directly when called on the main thread). WaitFor and deletion
// called on the main thread keep serving the main thread's queue while they
// wait, so a worker blocked in Synchronize never deadlocks them.
//
// FreeOnTerminate: the object deletes itself on the main thread (from the
// application's queue) after Execute returns. Until the main thread next
// serves its queue the object stays valid, so the main thread may still
// Terminate, WaitFor or delete it; WaitFor holds the deletion back until it
// returns.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "korvane3d/host/Event.h"
#include "korvane3d/host/Object.h"
#include "korvane3d/platform/win/ThreadSafety.h"

namespace kv {

class MainThreadQueue;

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
 public:
  TThread();
  ~TThread() override;

  template <class T, class... A>
  static T* CreateRunning(A&&... args) {
    T* thread = new T(std::forward<A>(args)...);
    thread->Start();
    return thread;
  }

  // Ends the thread and frees it (main thread). Joined at once, unless the
  // call comes from inside one of the thread's own Synchronize calls: the
  // thread is then left to end as soon as that call returns, and frees
  // itself on the main thread. Either way the owner forgets it here, and
  // the thread touches nothing of the owner's after Terminated() is seen.
  static void Dispose(std::unique_ptr<TThread> thread);

  // Starts Execute on a new thread; false when already started.
  bool Start();
  bool Started() const { return started_; }
  void Terminate();
  bool Terminated() const { return terminated_.load(); }
  bool Finished() const { return finished_.load(); }
  // Waits for Execute to return and gives ReturnValue. Returns at once for a
  // thread never started; -1 with the last error set when called from the
  // thread itself.
  int WaitFor();

  bool FreeOnTerminate() const { return freeOnTerminate_.load(); }
  void SetFreeOnTerminate(bool value) { freeOnTerminate_ = value; }
  // The platform priority follows where it may: nice values for the thread,
  // SCHED_IDLE for tpIdle. Raising it without the privilege is silently
  // ignored; Priority() reports what was asked for.
  TThreadPriority Priority() const { return priority_.load(); }
  void SetPriority(TThreadPriority priority);

  int ReturnValue() const { return returnValue_.load(); }
  // The text of an exception that escaped Execute, or empty.
  std::string FatalException() const;

  // Runs on the main thread after Execute returns (Sender is the thread).
  TNotifyEvent OnTerminate;

  // Runs `method` on the main thread and waits for it. False when the main
  // thread's queue has been stopped (the application is shutting down).
  bool Synchronize(std::function<void()> method);
  static bool Synchronize(TThread* thread, std::function<void()> method);
  // Main thread: whether one of this thread's Synchronize methods is running
  // now, further down the calling stack.
  bool InSynchronize() const { return synchronizing_ > 0; }

 protected:
  virtual void Execute() = 0;
  void SetReturnValue(int value) { returnValue_ = value; }
  // Called by Terminate (on the terminating thread) after Terminated() has
  // turned true: an Execute that blocks on something of its own wakes here.
  virtual void TerminateRequested() {}
  // Blocks up to `timeout` or until Terminate is called; true when
  // terminated. For threads that poll without spinning.
  bool WaitUntilTerminated(std::chrono::milliseconds timeout);

 private:
  void Body();
  void ApplyPriority();
  void DeleteSelf();

  std::shared_ptr<MainThreadQueue> queue_;
  std::thread thread_;
  std::atomic<bool> started_{false};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> freeOnTerminate_{false};
  std::atomic<TThreadPriority> priority_{tpNormal};
  std::atomic<int> returnValue_{0};
  std::atomic<int> tid_{0};  // the kernel's thread id once running
  mutable Mutex mutex_;
  std::condition_variable_any changed_;  // finished or terminated
  std::string fatal_ KV_GUARDED_BY(mutex_);
  // Main thread only: WaitFor calls in progress, and a self-deletion that
  // arrived during one of them; Synchronize methods running.
  int waitDepth_ = 0;
  int synchronizing_ = 0;
  bool deletePending_ = false;
};

}  // namespace kv
