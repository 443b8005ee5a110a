#include "rm/raster/WorkerPool.h"

namespace kv::raster {

WorkerPool::WorkerPool(int threads) {
  for (int i = 1; i < threads; ++i) workers_.emplace_back([this, i] { WorkerLoop(i); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void WorkerPool::Drain(int thread) {
  for (int task = next_.fetch_add(1, std::memory_order_relaxed); task < taskCount_;
       task = next_.fetch_add(1, std::memory_order_relaxed))
    (*body_)(task, thread);
}

void WorkerPool::Run(int taskCount, const std::function<void(int, int)>& body) {
  if (taskCount <= 0) return;
  if (workers_.empty() || taskCount == 1) {
    for (int task = 0; task < taskCount; ++task) body(task, 0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    body_ = &body;
    taskCount_ = taskCount;
    next_.store(0, std::memory_order_relaxed);
    busy_ = static_cast<int>(workers_.size());
    ++generation_;
  }
  wake_.notify_all();
  Drain(0);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return busy_ == 0; });
  body_ = nullptr;
}

void WorkerPool::WorkerLoop(int thread) {
  std::uint64_t seen = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
      if (stop_) return;
      seen = generation_;
    }
    Drain(thread);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (--busy_ == 0) done_.notify_one();
    }
  }
}

}  // namespace kv::raster
