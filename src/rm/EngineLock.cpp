#include "korvane3d/rm/EngineLock.h"

namespace kv::rm {

EngineMutexType& EngineMutex() {
  // One lock for every root object: frames of different roots may be mixed
  // in one hierarchy, so a per-root lock would not protect them.
  // Never destroyed: engine objects held by static objects are released
  // at exit, under this lock.
  static EngineMutexType* mutex = new EngineMutexType();
  return *mutex;
}

}  // namespace kv::rm
