// The engine lock. Every public engine call takes it, so a render or a Move
// on one thread never races a change on another. It is recursive: move
// callbacks run with it held and may call back into the engine (read and set
// frame placements, add and remove callbacks, re-parent frames). A renderer
// takes it once around a whole traversal (see SceneWalk.h).
#pragma once

#include <mutex>

namespace kv::rm {

std::recursive_mutex& EngineMutex();

class EngineLock {
 public:
  EngineLock() : guard_(EngineMutex()) {}
  EngineLock(const EngineLock&) = delete;
  EngineLock& operator=(const EngineLock&) = delete;

 private:
  std::lock_guard<std::recursive_mutex> guard_;
};

}  // namespace kv::rm
