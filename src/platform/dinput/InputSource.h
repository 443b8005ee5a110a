// What a device needs to know from the window system it takes input from.
// Two implementations: the SDL2 source (SdlInput.cpp) and the headless one
// (HeadlessInput.cpp). Both live for the whole process; the hub starts the
// one that fits the platform backend when the first device appears and
// stops it when the last one goes. Input itself is handed to the hub
// (InputHub::Deliver*), from whatever thread the source runs on.
#pragma once

#include <cstdint>

#include "korvane3d/platform/win/WinTypes.h"

namespace kv::dinput {

class InputSource {
 public:
  virtual ~InputSource() = default;

  virtual void Start() {}
  virtual void Stop() {}
  // Names the focus domain of a top-level window, so that a foreground
  // device can later ask whether that window has the focus. 0 means none.
  virtual std::uint32_t FocusKey(HWND topLevelWindow) = 0;
  virtual bool HasFocus(std::uint32_t focusKey) const = 0;
  // An exclusive mouse is acquired (true) or no longer (false): the source
  // may capture the pointer meanwhile. Called under the hub lock, so it only
  // takes note; ApplyPending, called with no lock held, acts on it.
  virtual void SetMouseCaptured(bool captured) = 0;
  virtual void ApplyPending() {}
};

// The two sources (defined in their backends' files).
InputSource& HeadlessSource();
InputSource& SdlSource();

}  // namespace kv::dinput
