#include "korvane3d/rm/EngineLock.h"

namespace kv::rm {

std::recursive_mutex& EngineMutex() {
  // One lock for every root object: frames of different roots may be mixed
  // in one hierarchy, so a per-root lock would not protect them.
  static std::recursive_mutex mutex;
  return mutex;
}

}  // namespace kv::rm
