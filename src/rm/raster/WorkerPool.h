// A small pool of worker threads for the rasterizer. Run() hands out task
// numbers to the workers and the calling thread alike and returns when every
// task is done. Idle workers sleep on a condition variable.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kv::raster {

class WorkerPool {
 public:
  // threads: the total number of threads that run tasks, the caller included.
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int Size() const { return static_cast<int>(workers_.size()) + 1; }

  // Calls body(task, thread) for every task in [0, taskCount); thread is 0
  // for the caller and 1.. for the workers. Not reentrant.
  void Run(int taskCount, const std::function<void(int task, int thread)>& body);

 private:
  void WorkerLoop(int thread);
  void Drain(int thread);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::uint64_t generation_ = 0;
  int busy_ = 0;
  bool stop_ = false;
  const std::function<void(int, int)>* body_ = nullptr;
  int taskCount_ = 0;
  std::atomic<int> next_{0};
  std::vector<std::thread> workers_;
};

}  // namespace kv::raster
