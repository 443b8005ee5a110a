// The main thread's run loop: the one queue through which other threads
// hand the main thread work, and the one call in which the main thread
// blocks.
//
//   worker:  kv::platform::PostMainThreadTask([=] { ... });    // wakes the main thread
//            kv::platform::MainThreadCall call(fn);            // or: run it and wait
//            call.PostAndWait();
//   main:    kv::platform::RunMainThreadTasks();
//            kv::platform::WaitOnMainThread(WakeOn::TasksAndMessages, nextTimer);
//
// A wait ends as soon as a task is queued, WakeMainThread is called, the
// deadline passes, the `until` predicate holds, or (WakeOn::
// TasksAndMessages) a window message is waiting. The wake-up that comes with
// a posted message may end a wait for tasks early too, so waits are made in
// loops that check what they wait for. Native events that arrive
// meanwhile become window messages. Nothing polls: the headless backend
// blocks on a condition variable, SDL in SDL_WaitEventTimeout, and a post or
// a wake-up from another thread ends either at once. A wake-up given while
// the main thread is not waiting is kept for its next wait, so checking a
// condition and then waiting loses nothing.
//
// The window calls that other threads make (SendMessageA, SetWindowPos,
// window creation, message boxes) travel through the same queue, so a main
// thread waiting in WaitOnMainThread (TThread::WaitFor, say) serves them too.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

namespace kv::platform {

using MainThreadClock = std::chrono::steady_clock;

// Any thread: queues a task for the main thread and wakes it. A non-null
// tag lets CancelMainThreadTasks find it again.
void PostMainThreadTask(std::function<void()> task, const void* tag = nullptr);
// Any thread: drops the queued tasks posted with this (non-null) tag.
void CancelMainThreadTasks(const void* tag);
// Main thread: runs the tasks queued at the time of the call, in order, and
// returns how many ran. Tasks queued meanwhile wait for the next call. A
// task must not throw; one that does is reported on stderr and dropped.
std::size_t RunMainThreadTasks();
bool MainThreadTasksPending();

// Any thread: ends the main thread's current wait, or its next one.
void WakeMainThread();

enum class WakeOn {
  Tasks,             // tasks and wake-ups only (window messages wait)
  TasksAndMessages,  // also a posted message, a quit request or a window to paint
};
// Main thread: blocks until there is work of the given kind, a wake-up, the
// deadline (none: no time limit) or `until` (checked before every block).
void WaitOnMainThread(WakeOn on, std::optional<MainThreadClock::time_point> deadline = std::nullopt,
                      const std::function<bool()>& until = nullptr);

// A task that a worker hands to the main thread and waits for. Cancel (any
// thread) releases the waiter without running the task, unless it has
// already started; the task then never runs.
class MainThreadCall {
 public:
  explicit MainThreadCall(std::function<void()> task);
  ~MainThreadCall();
  MainThreadCall(const MainThreadCall&) = delete;
  MainThreadCall& operator=(const MainThreadCall&) = delete;

  // Queues the task (once) and blocks until it has run (true) or was
  // cancelled (false). An exception thrown by the task is rethrown here.
  // On the main thread itself the task runs at once.
  bool PostAndWait();
  void Cancel();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace kv::platform
