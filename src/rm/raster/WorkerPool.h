// A small pool of worker threads for the rasterizer. Run() hands out task
// numbers to the workers and the calling thread alike and returns as soon as
// every task is done: a worker that is slow to wake (a busy machine) is not
// waited for, the caller simply takes its share. Idle workers sleep on a
// condition variable.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
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
  // One Run's tasks. Workers that wake late may still hold it; by then every
  // task number has been taken, so they touch nothing else.
  struct Job {
    const std::function<void(int, int)>* body;
    int count;
    std::atomic<int> next{0};
    std::atomic<int> done{0};
  };

  void WorkerLoop(int thread);
  void Drain(Job& job, int thread);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::uint64_t generation_ = 0;
  bool stop_ = false;
  std::shared_ptr<Job> current_;
  std::vector<std::thread> workers_;
};

}  // namespace kv::raster
