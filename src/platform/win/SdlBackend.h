// The SDL2 backend: each top-level window is a resizable SDL window whose
// surface shows the window's framebuffer; SDL's events become window
// messages. SDL is only ever called on the main thread, except
// SDL_PushEvent, which wakes the main thread. Internal.
#pragma once

#include <SDL.h>

#include <mutex>
#include <unordered_map>

#include "korvane3d/platform/win/BackendImpl.h"

namespace kv::win::detail {

class SdlBackend final : public PlatformBackend {
 public:
  // Null when SDL's video does not start.
  static std::unique_ptr<SdlBackend> Start();
  ~SdlBackend() override;

  kv::platform::BackendKind Kind() const override { return kv::platform::BackendKind::Sdl; }
  void TopLevelCreated(HWND wnd, const RECT& screenRect, const std::string& caption, bool visible) override;
  void TopLevelDestroyed(HWND wnd) override;
  void TopLevelPlaced(HWND wnd, const RECT& screenRect) override;
  void TopLevelShown(HWND wnd, bool visible) override;
  void TopLevelCaption(HWND wnd, const std::string& caption) override;
  void TopLevelTopmost(HWND wnd, bool topmost) override;
  void Present(HWND wnd, const Framebuffer& framebuffer) override;
  void* NativeHandle(HWND wnd) override;
  void* OpenGlHandle(HWND wnd) override;
  void SetPresenter(HWND wnd, kv::platform::WindowPresenter presenter) override;
  HWND KeyboardFocusWindow() override;

  bool PumpEvents() override;
  WaitResult WaitForEvents(std::optional<std::chrono::steady_clock::time_point> deadline) override;
  void Wake() override;

  int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
  SIZE ScreenSize() override;
  POINT CursorPos() override;

 private:
  explicit SdlBackend(Uint32 wakeEvent) : wakeEvent_(wakeEvent) {}
  SDL_Window* WindowOf(HWND topLevel);
  HWND HandleOf(Uint32 windowId);
  HWND TopLevel(HWND wnd);

  // Event translation (SdlBackendEvents.cpp).
  void Translate(const SDL_Event& event);
  void TranslateWindowEvent(const SDL_WindowEvent& event);
  void TranslateMouse(const SDL_Event& event);
  void TranslateKey(const SDL_KeyboardEvent& event);
  HWND MouseTarget(Uint32 windowId, int x, int y, POINT* client);

  const Uint32 wakeEvent_;
  std::mutex mutex_;  // guards the maps: NativeHandle and SetPresenter may come from any thread
  std::unordered_map<HWND, SDL_Window*> windows_;
  std::unordered_map<Uint32, HWND> byId_;
  std::unordered_map<HWND, HWND> focusBeforeDeactivation_;
  std::unordered_map<HWND, kv::platform::WindowPresenter> presenters_;
  HWND capture_ = nullptr;  // gets mouse messages while a button is held
  bool appActive_ = false;
};

}  // namespace kv::win::detail
