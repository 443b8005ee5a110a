// The SDL2 input source: the real mouse and keyboard of the process's
// windows, taken from the SDL events the message pump sees (main thread).
#include <SDL2/SDL.h>

#include <atomic>

#include "korvane3d/platform/dinput/InputHub.h"
#include "korvane3d/platform/dinput/InputSource.h"
#include "korvane3d/platform/dinput/SdlKeyMap.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv::dinput {
namespace {

// DirectInput reports one notch of the wheel as this much Z movement.
constexpr LONG kWheelDelta = 120;

// SDL buttons 1 to 4 (left, middle, right, first extra) as DirectInput's
// buttons 0 (left), 2 (middle), 1 (right) and 3.
int DirectInputButton(Uint8 sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    default: return -1;
  }
}

class Sdl final : public InputSource {
 public:
  void Start() override {
    if (SDL_Window* focus = SDL_GetKeyboardFocus()) focusedWindow_.store(SDL_GetWindowID(focus));
    listener_ = kv::platform::AddSdlEventListener(
        [this](const void* event) { OnEvent(*static_cast<const SDL_Event*>(event)); });
  }

  void Stop() override {
    kv::platform::RemoveSdlEventListener(listener_);
    listener_ = 0;
    SetMouseCaptured(false);
    ApplyPending();
  }

  std::uint32_t FocusKey(HWND topLevelWindow) override {
    auto* window = static_cast<SDL_Window*>(kv::platform::NativeWindowHandle(topLevelWindow));
    return window ? SDL_GetWindowID(window) : 0;
  }

  bool HasFocus(std::uint32_t focusKey) const override {
    return focusKey != 0 && focusedWindow_.load() == focusKey;
  }

  void SetMouseCaptured(bool captured) override { wantCaptured_.store(captured); }

  // SDL's relative mouse mode belongs to the main thread: applied at once
  // there, otherwise with the next event the pump shows us.
  void ApplyPending() override {
    if (!kv::platform::IsMainThread()) return;
    const bool want = wantCaptured_.load();
    if (want == captured_) return;
    captured_ = want;
    SDL_SetRelativeMouseMode(want ? SDL_TRUE : SDL_FALSE);
  }

 private:
  // SDL stamps events on its own millisecond clock; DirectInput time stamps
  // are on GetTickCount's, so carry over the event's age.
  static DWORD TimeStamp(Uint32 sdlTimestamp) {
    const Uint32 age = SDL_GetTicks() - sdlTimestamp;
    return GetTickCount() - age;
  }

  void OnEvent(const SDL_Event& e) {
    ApplyPending();
    InputHub& hub = InputHub::Instance();
    switch (e.type) {
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        // Auto-repeat is not input: a held key stays one press.
        if (e.key.repeat) break;
        if (BYTE dik = DikFromSdlScancode(e.key.keysym.scancode)) {
          hub.DeliverKey(dik, e.type == SDL_KEYDOWN, TimeStamp(e.key.timestamp));
        }
        break;
      case SDL_MOUSEMOTION:
        hub.DeliverMove(e.motion.xrel, e.motion.yrel, 0, TimeStamp(e.motion.timestamp));
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        hub.DeliverButton(DirectInputButton(e.button.button), e.type == SDL_MOUSEBUTTONDOWN,
                          TimeStamp(e.button.timestamp));
        break;
      case SDL_MOUSEWHEEL: {
        const LONG notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        hub.DeliverMove(0, 0, notches * kWheelDelta, TimeStamp(e.wheel.timestamp));
        break;
      }
      case SDL_WINDOWEVENT:
        OnWindowEvent(e.window);
        break;
      default:
        break;
    }
  }

  void OnWindowEvent(const SDL_WindowEvent& e) {
    if (e.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
      focusedWindow_.store(e.windowID);
      InputHub::Instance().FocusGained();
    } else if (e.event == SDL_WINDOWEVENT_FOCUS_LOST || e.event == SDL_WINDOWEVENT_CLOSE) {
      std::uint32_t expected = e.windowID;
      focusedWindow_.compare_exchange_strong(expected, 0);
      InputHub::Instance().LoseFocus([id = e.windowID](std::uint32_t key) { return key == id; });
    }
  }

  int listener_ = 0;
  std::atomic<std::uint32_t> focusedWindow_{0};
  std::atomic<bool> wantCaptured_{false};
  bool captured_ = false;  // main thread only
};

}  // namespace

InputSource& SdlSource() {
  static Sdl* sdl = new Sdl();  // outlives every device
  return *sdl;
}

}  // namespace kv::dinput
