// Recognising the standard data formats in what a caller hands SetDataFormat.
#pragma once

#include "korvane3d/platform/dinput/DInput.h"

namespace kv::dinput {

// True when given describes the same format as standard: the same flags,
// state size and objects (GUIDs compared by value), with dwSize and
// dwObjSize either this platform's sizes or a 32-bit Windows program's.
bool SameFormat(const DIDATAFORMAT& given, const DIDATAFORMAT& standard);

}  // namespace kv::dinput
