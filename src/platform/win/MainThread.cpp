#include "korvane3d/platform/win/MainThread.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <utility>

#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/BackendImpl.h"
#include "korvane3d/platform/win/MessageQueue.h"
#include "korvane3d/platform/win/ThreadSafety.h"

namespace kv::platform {

namespace {

struct Task {
  std::function<void()> run;
  const void* tag = nullptr;
};

class TaskQueue {
 public:
  void Push(Task task) {
    MutexLock lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  // The dropped tasks are handed back, so that whatever they hold is
  // released outside the lock.
  std::deque<Task> Drop(const void* tag) {
    std::deque<Task> dropped;
    MutexLock lock(mutex_);
    for (auto it = tasks_.begin(); it != tasks_.end();) {
      if (it->tag == tag) {
        dropped.push_back(std::move(*it));
        it = tasks_.erase(it);
      } else {
        ++it;
      }
    }
    return dropped;
  }
  std::deque<Task> TakeAll() {
    MutexLock lock(mutex_);
    return std::exchange(tasks_, {});
  }
  bool Empty() const {
    MutexLock lock(mutex_);
    return tasks_.empty();
  }

 private:
  mutable Mutex mutex_;
  std::deque<Task> tasks_ KV_GUARDED_BY(mutex_);
};

TaskQueue& Tasks() {
  // Never destroyed: the application object serves the queue once more when
  // static objects are destroyed at exit.
  static TaskQueue* queue = new TaskQueue();
  return *queue;
}

}  // namespace

void PostMainThreadTask(std::function<void()> task, const void* tag) {
  Tasks().Push(Task{std::move(task), tag});
  WakeMainThread();
}

void CancelMainThreadTasks(const void* tag) {
  if (tag != nullptr) Tasks().Drop(tag);
}

std::size_t RunMainThreadTasks() {
  std::deque<Task> batch = Tasks().TakeAll();
  for (Task& task : batch) {
    try {
      task.run();
    } catch (...) {
      // Nobody to hand the exception to; it must not escape the loop.
      std::fputs("kv: an exception escaped a task posted to the main thread\n", stderr);
    }
  }
  return batch.size();
}

bool MainThreadTasksPending() { return !Tasks().Empty(); }

void WakeMainThread() {
  // Before any backend exists nobody waits in one; the main thread, once it
  // makes one, looks for queued tasks before it blocks.
  if (auto backend = kv::win::detail::SelectedBackend()) backend->Wake();
}

void WaitOnMainThread(WakeOn on, std::optional<MainThreadClock::time_point> deadline,
                      const std::function<bool()>& until) {
  using Result = kv::win::detail::PlatformBackend::WaitResult;
  const std::shared_ptr<kv::win::detail::PlatformBackend> backend = kv::win::detail::ActiveBackend();
  for (;;) {
    // Native events become messages first, so that what they bring counts.
    if (backend->PumpEvents()) return;
    if (MainThreadTasksPending()) return;
    if (on == WakeOn::TasksAndMessages && kv::win::detail::MessageWaiting()) return;
    if (until && until()) return;
    if (deadline && MainThreadClock::now() >= *deadline) return;
    // Native events alone (SDL) go round again: they are pumped, and end
    // the wait only when they left a message that counts.
    if (backend->WaitForEvents(deadline) != Result::NativeEvents) return;
  }
}

// ---- MainThreadCall ------------------------------------------------------------------

struct MainThreadCall::State {
  enum class Phase { Idle, Queued, Running, Done, Cancelled };
  Mutex mutex;
  std::condition_variable_any changed;
  std::function<void()> task;  // set at construction, run once on the main thread
  Phase phase KV_GUARDED_BY(mutex) = Phase::Idle;
  std::exception_ptr error KV_GUARDED_BY(mutex);

  // On the main thread: runs the task unless it was cancelled meanwhile.
  void Run() {
    {
      MutexLock lock(mutex);
      if (phase != Phase::Queued) return;
      phase = Phase::Running;
    }
    std::exception_ptr thrown;
    try {
      task();
    } catch (...) {
      thrown = std::current_exception();
    }
    MutexLock lock(mutex);
    error = thrown;
    phase = Phase::Done;
    changed.notify_all();
  }
  bool Over() const KV_REQUIRES(mutex) { return phase == Phase::Done || phase == Phase::Cancelled; }
};

MainThreadCall::MainThreadCall(std::function<void()> task) : state_(std::make_shared<State>()) {
  state_->task = std::move(task);
}

MainThreadCall::~MainThreadCall() = default;

bool MainThreadCall::PostAndWait() {
  {
    MutexLock lock(state_->mutex);
    if (state_->phase != State::Phase::Idle) return state_->phase == State::Phase::Done;
    state_->phase = State::Phase::Queued;
  }
  if (kv::win::detail::IsSelectedMainThread()) {
    state_->Run();
  } else {
    // The queue keeps the state alive: a cancelled call's task may still be
    // queued after this object is gone.
    PostMainThreadTask([state = state_] { state->Run(); });
  }
  MutexLock lock(state_->mutex);
  while (!state_->Over()) state_->changed.wait(state_->mutex);
  if (state_->phase == State::Phase::Cancelled) return false;
  if (state_->error) std::rethrow_exception(state_->error);
  return true;
}

void MainThreadCall::Cancel() {
  MutexLock lock(state_->mutex);
  if (state_->phase != State::Phase::Idle && state_->phase != State::Phase::Queued) return;
  state_->phase = State::Phase::Cancelled;
  state_->changed.notify_all();
}

}  // namespace kv::platform
