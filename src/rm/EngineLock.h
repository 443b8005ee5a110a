// The engine lock. Every public engine call takes it, so a render or a Move
// on one thread never races a change on another. It is recursive: move
// callbacks run with it held and may call back into the engine (read and set
// frame placements, add and remove callbacks, re-parent frames). A renderer
// takes it once around a whole traversal (see SceneWalk.h).
//
// Outside the engine, what another thread reads of a component during a
// Move (the object's move step on the render loop) is a snapshot the main
// thread publishes under this lock; such fields are declared
// KV_GUARDED_BY(rm::EngineMutex()), and Clang's thread-safety analysis checks
// each access.
#pragma once

#include <mutex>

#include "korvane3d/platform/win/ThreadSafety.h"

namespace kv::rm {

class KV_CAPABILITY("mutex") EngineMutexType {
 public:
  void lock() KV_ACQUIRE() { mutex_.lock(); }
  void unlock() KV_RELEASE() { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;
};

EngineMutexType& EngineMutex();

class KV_SCOPED_CAPABILITY EngineLock {
 public:
  EngineLock() KV_ACQUIRE(EngineMutex()) { EngineMutex().lock(); }
  ~EngineLock() KV_RELEASE() { EngineMutex().unlock(); }
  EngineLock(const EngineLock&) = delete;
  EngineLock& operator=(const EngineLock&) = delete;
};

// For code the engine runs with its lock held (a move callback): tells the
// analysis, which cannot follow the call through the engine.
inline void AssertEngineLocked() KV_ASSERT_CAPABILITY(EngineMutex()) {}

}  // namespace kv::rm
