// What a lock guards, said in the types so that Clang's thread-safety
// analysis (-Wthread-safety, a CI leg builds with it as an error) checks
// every access. Other compilers read the annotations as nothing.
//
//   kv::Mutex mutex_;
//   int count_ KV_GUARDED_BY(mutex_);
//   void Add() { kv::MutexLock lock(mutex_); ++count_; }
//   void AddLocked() KV_REQUIRES(mutex_) { ++count_; }
//
// Condition variables wait on the Mutex itself (std::condition_variable_any).
#pragma once

#include <mutex>

#if defined(__clang__)
#define KV_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define KV_THREAD_ANNOTATION(x)
#endif

#define KV_CAPABILITY(name) KV_THREAD_ANNOTATION(capability(name))
#define KV_SCOPED_CAPABILITY KV_THREAD_ANNOTATION(scoped_lockable)
#define KV_GUARDED_BY(lock) KV_THREAD_ANNOTATION(guarded_by(lock))
#define KV_PT_GUARDED_BY(lock) KV_THREAD_ANNOTATION(pt_guarded_by(lock))
#define KV_REQUIRES(...) KV_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define KV_ACQUIRE(...) KV_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define KV_TRY_ACQUIRE(...) KV_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define KV_RELEASE(...) KV_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define KV_EXCLUDES(...) KV_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define KV_ASSERT_CAPABILITY(lock) KV_THREAD_ANNOTATION(assert_capability(lock))
#define KV_RETURN_CAPABILITY(lock) KV_THREAD_ANNOTATION(lock_returned(lock))
#define KV_NO_THREAD_SAFETY_ANALYSIS KV_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace kv {

// std::mutex as a capability the analysis knows.
class KV_CAPABILITY("mutex") Mutex {
 public:
  void lock() KV_ACQUIRE() { mutex_.lock(); }
  void unlock() KV_RELEASE() { mutex_.unlock(); }
  bool try_lock() KV_TRY_ACQUIRE(true) { return mutex_.try_lock(); }

 private:
  std::mutex mutex_;
};

// Holds a Mutex for its scope.
class KV_SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) KV_ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~MutexLock() KV_RELEASE() { mutex_.unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

}  // namespace kv
