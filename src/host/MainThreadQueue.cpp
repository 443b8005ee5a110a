#include "korvane3d/host/MainThreadQueue.h"

#include <algorithm>

namespace kv {

bool MainThreadQueue::RunAndWait(std::function<void()> task) {
  auto call = std::make_shared<platform::MainThreadCall>(std::move(task));
  {
    MutexLock lock(mutex_);
    if (stopped_) return false;
    waiting_.push_back(call);
  }
  // Forgotten however the call ends (an exception from the task included).
  struct Forget {
    MainThreadQueue& queue;
    const std::shared_ptr<platform::MainThreadCall>& call;
    ~Forget() {
      MutexLock lock(queue.mutex_);
      std::erase(queue.waiting_, call);
    }
  } forget{*this, call};
  return call->PostAndWait();
}

void MainThreadQueue::Post(std::function<void()> task, const void* tag) {
  platform::PostMainThreadTask(std::move(task), tag);
}

void MainThreadQueue::Cancel(const void* tag) { platform::CancelMainThreadTasks(tag); }

std::size_t MainThreadQueue::Serve() { return platform::RunMainThreadTasks(); }

bool MainThreadQueue::ServeUntil(const std::function<bool()>& done, std::optional<Clock::time_point> deadline) {
  for (;;) {
    Serve();
    if (done()) return true;
    if (deadline && Clock::now() >= *deadline) return false;
    platform::WaitOnMainThread(platform::WakeOn::Tasks, deadline, done);
  }
}

void MainThreadQueue::Wake() { platform::WakeMainThread(); }

void MainThreadQueue::Stop() {
  std::vector<std::shared_ptr<platform::MainThreadCall>> cancelled;
  {
    MutexLock lock(mutex_);
    stopped_ = true;
    cancelled = waiting_;
  }
  for (const auto& call : cancelled) call->Cancel();
}

void MainThreadQueue::Restart() {
  MutexLock lock(mutex_);
  stopped_ = false;
}

bool MainThreadQueue::Stopped() const {
  MutexLock lock(mutex_);
  return stopped_;
}

bool MainThreadQueue::HasWork() const { return platform::MainThreadTasksPending(); }

}  // namespace kv
