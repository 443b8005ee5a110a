// The version of the library itself, for programs that ask at run time.
#include "korvane3d/Version.h"

namespace kv {
const char* Version() { return KORVANE3D_VERSION; }
}  // namespace kv
