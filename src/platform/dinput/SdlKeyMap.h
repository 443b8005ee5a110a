// SDL scancodes (USB usage positions) to DirectInput scan codes.
#pragma once

#include "korvane3d/platform/win/WinTypes.h"

namespace kv::dinput {

// The DIK_* code of an SDL_Scancode; 0 for keys DirectInput has no code for
// and for values outside SDL's range.
BYTE DikFromSdlScancode(int sdlScancode);

}  // namespace kv::dinput
