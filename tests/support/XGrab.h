// Pixels read back from the X server itself, for real-window tests that must
// see what the display shows rather than what the program last presented.
// The Xlib and SDL headers stay in XGrab.cpp (their macros clash with the
// package's names); a test program that uses this adds tests/support/XGrab.cpp
// to its sources and links X11 (see tests/package/view/CMakeLists.txt).
//
//   auto window = kvtest::XWindowOfSdlWindow(kv::platform::NativeWindowHandle(hwnd));
//   kvtest::XPixels shown = kvtest::GrabXWindow(*window, 0, 0, 96, 64);
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvtest {

struct XPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top row first
  std::string error;                  // why the grab failed; empty on success
  bool Ok() const { return error.empty(); }
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The X window behind an SDL window (an SDL_Window*), when SDL runs on X11.
std::optional<unsigned long> XWindowOfSdlWindow(void* sdlWindow);

// A rectangle of an X window (0: the root window of $DISPLAY), read with
// XGetImage from a connection of its own. A TrueColor visual is expected.
XPixels GrabXWindow(unsigned long window, int x, int y, int width, int height);

}  // namespace kvtest
