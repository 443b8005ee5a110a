#include "host/Registry.h"

namespace kv {

void RegisterHostClasses() {}

}  // namespace kv
