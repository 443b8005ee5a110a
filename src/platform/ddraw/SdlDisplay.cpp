// The real display through SDL2: its modes, full screen with a mode change
// on the cooperative window, and lost surfaces when that window loses the
// focus.
#include <SDL.h>

#include <algorithm>
#include <set>
#include <tuple>

#include "korvane3d/platform/ddraw/Display.h"
#include "korvane3d/platform/win/Backend.h"

namespace kv::ddraw {

namespace {

// Fewer distinct sizes than this (a virtual X server reports one) and the
// usual modes are offered as well; SDL picks the closest real mode for them.
constexpr std::size_t kFewSizes = 4;

SDL_Window* SdlWindow(HWND window) { return static_cast<SDL_Window*>(kv::platform::NativeWindowHandle(window)); }

void OnSdlEvent(const SDL_Event& event) {
  if (event.type != SDL_WINDOWEVENT || event.window.event != SDL_WINDOWEVENT_FOCUS_LOST) return;
  Display& display = Display::Instance();
  HWND exclusive = display.AnyExclusiveWindow();
  SDL_Window* window = exclusive ? SdlWindow(exclusive) : nullptr;
  if (window && SDL_GetWindowID(window) == event.window.windowID) display.FullScreenFocusLost(exclusive);
}

class SdlBackend final : public DisplayBackend {
 public:
  SdlBackend() {
    kv::platform::AddSdlEventListener([](const void* event) { OnSdlEvent(*static_cast<const SDL_Event*>(event)); });
  }

  std::vector<DisplayModeInfo> Modes() override {
    std::set<std::tuple<int, int, int>> sizes;  // width, height, refresh
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
      SDL_DisplayMode mode;
      if (SDL_GetDisplayMode(0, i, &mode) == 0) sizes.emplace(mode.w, mode.h, mode.refresh_rate);
    }
    // Our surfaces live in memory, so every depth can be shown on every size.
    std::vector<DisplayModeInfo> modes;
    for (const auto& [w, h, hz] : sizes)
      for (int bits : {8, 16, 24, 32}) modes.push_back(DisplayModeInfo{w, h, bits, hz});
    if (sizes.size() < kFewSizes) {
      std::vector<DisplayModeInfo> usual = DefaultDisplayModes();
      modes.insert(modes.end(), usual.begin(), usual.end());
    }
    std::sort(modes.begin(), modes.end());
    modes.erase(std::unique(modes.begin(), modes.end()), modes.end());
    return modes;
  }

  DisplayModeInfo DesktopMode() override {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return DisplayModeInfo{640, 480, 32, 60};
    return DisplayModeInfo{mode.w, mode.h, 32, mode.refresh_rate};
  }

  bool EnterFullScreen(HWND window, const DisplayModeInfo& mode) override {
    SDL_Window* sdl = SdlWindow(window);
    if (!sdl) return false;
    SDL_DisplayMode wanted{0, mode.width, mode.height, mode.refreshRate, nullptr};
    SDL_DisplayMode closest;
    if (!SDL_GetClosestDisplayMode(0, &wanted, &closest)) closest = wanted;
    if (SDL_SetWindowDisplayMode(sdl, &closest) != 0) return false;
    return SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN) == 0;
  }

  void LeaveFullScreen(HWND window) override {
    if (SDL_Window* sdl = SdlWindow(window)) SDL_SetWindowFullscreen(sdl, 0);
  }
};

}  // namespace

DisplayBackend& SdlDisplayBackend() {
  static SdlBackend backend;
  return backend;
}

}  // namespace kv::ddraw
