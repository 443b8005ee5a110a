// The programmable input source. Tests and scripted demos press keys, move
// the mouse and take the focus away here; every acquired DirectInput device
// of the right kind takes the input in as it would from a real mouse or
// keyboard. Deterministic: time stamps are the ones given, and sequence
// numbers count from 1 after Reset. Works whichever platform backend is in
// effect (with SDL, scripted input mixes with the real one).
//
// Focus: headless, there is one focus shared by all windows, on by default.
// Any thread may call these functions.
#pragma once

#include <vector>

#include "korvane3d/platform/dinput/DInput.h"

namespace kv::dinput {

class HeadlessInput {
 public:
  HeadlessInput() = delete;

  // A key by DIK_* scan code. Pressing a held key or releasing a free one
  // changes nothing. False for scan code 0, which names no key.
  static bool PressKey(BYTE scanCode, DWORD time);
  static bool ReleaseKey(BYTE scanCode, DWORD time);
  // A relative movement; the axes of one call share one sequence number.
  static void MoveMouse(LONG dx, LONG dy, LONG dz, DWORD time);
  // Button 0 (left) to 3; false for any other index.
  static bool Button(int index, bool down, DWORD time);

  // The window loses the focus: every acquired foreground device is
  // unacquired and its next read reports DIERR_INPUTLOST; foreground devices
  // cannot be acquired until GainFocus.
  static void LoseFocus();
  static void GainFocus();
  static bool HasFocus();

  // ---- What it records ----
  static bool KeyHeld(BYTE scanCode);
  static bool ButtonHeld(int index);
  // Whether an exclusive mouse is acquired, which captures the pointer.
  static bool MouseCaptured();
  struct AcquiredDevice {
    bool mouse;  // else the keyboard
    DWORD cooperativeFlags;
    HWND window;
  };
  // The devices acquired at this moment, in creation order.
  static std::vector<AcquiredDevice> AcquiredDevices();

  // Back to the start: nothing held (without records), focus on, sequence
  // numbers from 1 again. Devices keep their configuration.
  static void Reset();
};

}  // namespace kv::dinput
