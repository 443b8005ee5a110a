#include "korvane3d/rm/raster/WorkerPool.h"

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

void WorkerPool::Drain(Job& job, int thread) {
  for (int task = job.next.fetch_add(1, std::memory_order_relaxed); task < job.count;
       task = job.next.fetch_add(1, std::memory_order_relaxed)) {
    (*job.body)(task, thread);
    if (job.done.fetch_add(1, std::memory_order_acq_rel) + 1 == job.count) {
      std::lock_guard<std::mutex> lock(mutex_);  // the caller checks under the lock: no lost wake-up
      finished_.notify_all();
    }
  }
}

void WorkerPool::Run(int taskCount, const std::function<void(int, int)>& body) {
  if (taskCount <= 0) return;
  if (workers_.empty() || taskCount == 1) {
    for (int task = 0; task < taskCount; ++task) body(task, 0);
    return;
  }
  auto job = std::make_shared<Job>();
  job->body = &body;
  job->count = taskCount;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = job;
    ++generation_;
  }
  wake_.notify_all();
  Drain(*job, 0);
  std::unique_lock<std::mutex> lock(mutex_);
  finished_.wait(lock, [&] { return job->done.load(std::memory_order_acquire) == taskCount; });
  current_.reset();
}

void WorkerPool::WorkerLoop(int thread) {
  std::uint64_t seen = 0;
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
      if (stop_) return;
      seen = generation_;
      job = current_;
    }
    if (job) Drain(*job, thread);
  }
}

}  // namespace kv::raster
