#include "korvane3d/host/MainThreadQueue.h"

#include <cstdio>

namespace kv {

bool MainThreadQueue::RunAndWait(std::function<void()> task) {
  auto waiter = std::make_shared<Waiter>();
  std::unique_lock lock(mutex_);
  if (stopped_) return false;
  tasks_.push_back(Task{std::move(task), nullptr, waiter});
  workArrived_.notify_all();
  taskDone_.wait(lock, [&] { return waiter->done || waiter->cancelled; });
  if (waiter->cancelled) return false;
  if (waiter->error) std::rethrow_exception(waiter->error);
  return true;
}

void MainThreadQueue::Post(std::function<void()> task, const void* tag) {
  std::lock_guard lock(mutex_);
  tasks_.push_back(Task{std::move(task), tag, nullptr});
  workArrived_.notify_all();
}

void MainThreadQueue::Cancel(const void* tag) {
  std::lock_guard lock(mutex_);
  std::erase_if(tasks_, [tag](const Task& t) { return t.waiter == nullptr && t.tag == tag; });
}

void MainThreadQueue::RunTask(Task& task) {
  std::exception_ptr error;
  try {
    task.run();
  } catch (...) {
    error = std::current_exception();
  }
  if (task.waiter == nullptr) {
    // Nobody to hand a posted task's exception to; it must not escape the loop.
    if (error) std::fputs("kv: an exception escaped a task posted to the main thread\n", stderr);
    return;
  }
  std::lock_guard lock(mutex_);
  task.waiter->error = error;
  task.waiter->done = true;
  taskDone_.notify_all();
}

std::size_t MainThreadQueue::Serve() {
  std::deque<Task> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(tasks_);
  }
  for (Task& task : batch) RunTask(task);
  return batch.size();
}

void MainThreadQueue::ServeUntil(const std::function<bool()>& done) {
  for (;;) {
    Serve();
    std::unique_lock lock(mutex_);
    if (done()) return;
    const std::uint64_t seen = wakes_;
    workArrived_.wait(lock, [&] { return !tasks_.empty() || wakes_ != seen || done(); });
    if (tasks_.empty() && done()) return;
  }
}

void MainThreadQueue::WaitForWork(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  const std::uint64_t seen = wakes_;
  workArrived_.wait_for(lock, timeout, [&] { return !tasks_.empty() || wakes_ != seen; });
}

void MainThreadQueue::Wake() {
  std::lock_guard lock(mutex_);
  ++wakes_;
  workArrived_.notify_all();
}

void MainThreadQueue::Stop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
  for (Task& t : tasks_) {
    if (t.waiter != nullptr) t.waiter->cancelled = true;
  }
  std::erase_if(tasks_, [](const Task& t) { return t.waiter != nullptr; });
  taskDone_.notify_all();
  ++wakes_;
  workArrived_.notify_all();
}

void MainThreadQueue::Restart() {
  std::lock_guard lock(mutex_);
  stopped_ = false;
}

bool MainThreadQueue::Stopped() const {
  std::lock_guard lock(mutex_);
  return stopped_;
}

bool MainThreadQueue::HasWork() const {
  std::lock_guard lock(mutex_);
  return !tasks_.empty();
}

}  // namespace kv
