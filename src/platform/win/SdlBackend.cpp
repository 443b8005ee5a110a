// The SDL2 backend: start-up, native windows, presentation, message boxes,
// the screen and the cursor. Event translation is in SdlBackendEvents.cpp.
#include "korvane3d/platform/win/SdlBackend.h"

#include <algorithm>
#include <vector>

#include "korvane3d/platform/win/EventListeners.h"
#include "korvane3d/platform/win/WindowRegistry.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace kv::win::detail {
namespace {

// Starts SDL's video. SDL 2.26 opens a D-Bus connection here that it keeps
// for the life of the process (it never shuts libdbus down); the leak
// checker is told not to count what start-up allocates.
int InitSdlVideo() {
#if defined(__SANITIZE_ADDRESS__)
  __lsan_disable();
  int rc = SDL_InitSubSystem(SDL_INIT_VIDEO);
  __lsan_enable();
  return rc;
#else
  return SDL_InitSubSystem(SDL_INIT_VIDEO);
#endif
}

}  // namespace

std::unique_ptr<PlatformBackend> MakeSdlBackend() { return SdlBackend::Start(); }

std::unique_ptr<SdlBackend> SdlBackend::Start() {
  // The program owns its signals; SDL must not take SIGINT/SIGTERM.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // A click that activates a window is a click too, as on Windows.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // Windows close one by one through WM_CLOSE; no quit when the last goes.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Frames are drawn in software: SDL's own X11/Wayland framebuffer shows
  // them directly, without an OpenGL context per window to upload through.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // The screen saver is the desktop's business, not a 3D window's.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  if (InitSdlVideo() != 0) return nullptr;
  Uint32 wake = SDL_RegisterEvents(1);
  if (wake == static_cast<Uint32>(-1)) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  return std::unique_ptr<SdlBackend>(new SdlBackend(wake));
}

SdlBackend::~SdlBackend() {
  std::vector<SDL_Window*> left;
  {
    std::lock_guard lock(mutex_);
    for (auto& entry : windows_) left.push_back(entry.second);
    windows_.clear();
    byId_.clear();
  }
  for (SDL_Window* w : left) SDL_DestroyWindow(w);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

SDL_Window* SdlBackend::WindowOf(HWND topLevel) {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(topLevel);
  return it == windows_.end() ? nullptr : it->second;
}

HWND SdlBackend::HandleOf(Uint32 windowId) {
  std::lock_guard lock(mutex_);
  auto it = byId_.find(windowId);
  return it == byId_.end() ? nullptr : it->second;
}

void SdlBackend::TopLevelCreated(HWND wnd, const RECT& r, const std::string& caption, bool visible) {
  Uint32 flags = SDL_WINDOW_RESIZABLE | (visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
  // SDL windows cannot be empty; an empty window shows as one pixel.
  SDL_Window* window = SDL_CreateWindow(caption.c_str(), r.left, r.top, std::max(1, static_cast<int>(r.right - r.left)),
                                        std::max(1, static_cast<int>(r.bottom - r.top)), flags);
  if (!window) return;  // the window lives on without a native window
  std::lock_guard lock(mutex_);
  windows_[wnd] = window;
  byId_[SDL_GetWindowID(window)] = wnd;
}

void SdlBackend::TopLevelDestroyed(HWND wnd) {
  SDL_Window* window = nullptr;
  {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(wnd);
    if (it == windows_.end()) return;
    window = it->second;
    byId_.erase(SDL_GetWindowID(window));
    windows_.erase(it);
    focusBeforeDeactivation_.erase(wnd);
    presenters_.erase(wnd);
  }
  if (capture_ == wnd) capture_ = nullptr;
  SDL_DestroyWindow(window);
}

void SdlBackend::TopLevelPlaced(HWND wnd, const RECT& r) {
  if (SDL_Window* window = WindowOf(wnd)) {
    SDL_SetWindowPosition(window, r.left, r.top);
    SDL_SetWindowSize(window, std::max(1, static_cast<int>(r.right - r.left)),
                      std::max(1, static_cast<int>(r.bottom - r.top)));
  }
}

void SdlBackend::TopLevelShown(HWND wnd, bool visible) {
  if (SDL_Window* window = WindowOf(wnd)) visible ? SDL_ShowWindow(window) : SDL_HideWindow(window);
}

void SdlBackend::TopLevelCaption(HWND wnd, const std::string& caption) {
  if (SDL_Window* window = WindowOf(wnd)) SDL_SetWindowTitle(window, caption.c_str());
}

void SdlBackend::TopLevelTopmost(HWND wnd, bool topmost) {
  if (SDL_Window* window = WindowOf(wnd)) SDL_SetWindowAlwaysOnTop(window, topmost ? SDL_TRUE : SDL_FALSE);
}

void SdlBackend::Present(HWND wnd, const Framebuffer& fb) {
  kv::platform::WindowPresenter presenter;  // a copy: it may replace itself
  {
    std::lock_guard lock(mutex_);
    if (auto found = presenters_.find(wnd); found != presenters_.end()) presenter = found->second;
  }
  if (presenter) {
    presenter(fb.pixels.data(), fb.width, fb.height);
    return;
  }
  SDL_Window* window = WindowOf(wnd);
  SDL_Surface* surface = window ? SDL_GetWindowSurface(window) : nullptr;
  if (!surface) return;
  // Both may differ in size for a moment while a resize is under way: copy
  // what overlaps.
  int w = std::min(fb.width, surface->w);
  int h = std::min(fb.height, surface->h);
  if (w > 0 && h > 0 && SDL_LockSurface(surface) == 0) {
    SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_RGB888, fb.pixels.data(), fb.width * 4, surface->format->format,
                      surface->pixels, surface->pitch);
    SDL_UnlockSurface(surface);
  }
  SDL_UpdateWindowSurface(window);
}

HWND SdlBackend::TopLevel(HWND wnd) {
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  return reg.TopLevelOf(wnd);
}

void* SdlBackend::NativeHandle(HWND wnd) {
  return WindowOf(TopLevel(wnd));
}

HWND SdlBackend::KeyboardFocusWindow() {
  SDL_Window* focused = SDL_GetKeyboardFocus();
  HWND top = focused ? HandleOf(SDL_GetWindowID(focused)) : nullptr;
  if (!top) return nullptr;
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  return reg.focus && reg.IsDescendant(top, reg.focus) ? reg.focus : top;
}

bool SdlBackend::PumpEvents() {
  bool woken = false;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == wakeEvent_) {
      woken = true;
      continue;
    }
    NotifyEventListeners(&event);
    Translate(event);
  }
  return woken;
}

// The event stays queued (a null event only peeks): the next PumpEvents
// takes it, a wake-up included.
PlatformBackend::WaitResult SdlBackend::WaitForEvents(std::optional<std::chrono::steady_clock::time_point> deadline) {
  if (!deadline) return SDL_WaitEvent(nullptr) != 0 ? WaitResult::NativeEvents : WaitResult::TimedOut;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return WaitResult::TimedOut;
  const int ms = static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), 1 << 30));
  return SDL_WaitEventTimeout(nullptr, ms) != 0 ? WaitResult::NativeEvents : WaitResult::TimedOut;
}

void SdlBackend::Wake() {
  SDL_Event event{};
  event.type = wakeEvent_;
  SDL_PushEvent(&event);
}

namespace {

std::vector<SDL_MessageBoxButtonData> ButtonsFor(UINT type) {
  constexpr Uint32 kReturn = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
  constexpr Uint32 kEscape = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  switch (type & 0x0F) {
    case MB_OKCANCEL: return {{kReturn, IDOK, "OK"}, {kEscape, IDCANCEL, "Cancel"}};
    case 2: return {{kReturn, 3, "Abort"}, {0, 4, "Retry"}, {kEscape, 5, "Ignore"}};
    case 3: return {{kReturn, IDYES, "Yes"}, {0, IDNO, "No"}, {kEscape, IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{kReturn, IDYES, "Yes"}, {kEscape, IDNO, "No"}};
    case 5: return {{kReturn, 4, "Retry"}, {kEscape, IDCANCEL, "Cancel"}};
    default: return {{kReturn | kEscape, IDOK, "OK"}};
  }
}

Uint32 IconFlags(UINT type) {
  switch (type & 0xF0) {
    case MB_ICONERROR: return SDL_MESSAGEBOX_ERROR;
    case MB_ICONWARNING: return SDL_MESSAGEBOX_WARNING;
    default: return SDL_MESSAGEBOX_INFORMATION;
  }
}

}  // namespace

int SdlBackend::ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  int answer = DefaultMessageBoxAnswer(type);
  RunOnMainThread([&] {
    auto buttons = ButtonsFor(type);
    SDL_MessageBoxData data{};
    data.flags = IconFlags(type) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    data.window = static_cast<SDL_Window*>(NativeHandle(owner));
    data.title = caption.c_str();
    data.message = text.c_str();
    data.numbuttons = static_cast<int>(buttons.size());
    data.buttons = buttons.data();
    int pressed = 0;
    if (SDL_ShowMessageBox(&data, &pressed) == 0 && pressed > 0) {
      answer = pressed;
    } else {
      RecordMessageBox(owner, text, caption, type);  // nobody could be asked
    }
  });
  return answer;
}

SIZE SdlBackend::ScreenSize() {
  SIZE size{1024, 768};
  RunOnMainThread([&] {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) size = SIZE{mode.w, mode.h};
  });
  return size;
}

POINT SdlBackend::CursorPos() {
  POINT p;
  RunOnMainThread([&] {
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    p = POINT{x, y};
  });
  return p;
}

}  // namespace kv::win::detail

namespace kv::win::detail {

void* SdlBackend::OpenGlHandle(HWND wnd) {
  const HWND top = TopLevel(wnd);
  SDL_Window* old = WindowOf(top);
  if (!old) return nullptr;
  const Uint32 flags = SDL_GetWindowFlags(old);
  if (flags & SDL_WINDOW_OPENGL) return old;
  // SDL gives a window an OpenGL context only when it was made for one, and
  // a window cannot change that afterwards: it is made again, where the old
  // one was, with the same size, caption and state.
  int x = 0, y = 0, w = 1, h = 1;
  SDL_GetWindowPosition(old, &x, &y);
  SDL_GetWindowSize(old, &w, &h);
  const Uint32 kept = flags & (SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALWAYS_ON_TOP);
  SDL_Window* made = SDL_CreateWindow(SDL_GetWindowTitle(old), x, y, w, h, kept | SDL_WINDOW_OPENGL);
  if (!made) return nullptr;
  // A full-screen window (the exclusive window of a full-screen view) stays
  // full screen, in the same display mode.
  if (const Uint32 fullScreen = flags & SDL_WINDOW_FULLSCREEN_DESKTOP) {
    SDL_DisplayMode mode;
    if (SDL_GetWindowDisplayMode(old, &mode) == 0) SDL_SetWindowDisplayMode(made, &mode);
    SDL_SetWindowFullscreen(made, fullScreen);
  }
  {
    std::lock_guard lock(mutex_);
    byId_.erase(SDL_GetWindowID(old));
    windows_[top] = made;
    byId_[SDL_GetWindowID(made)] = top;
  }
  SDL_DestroyWindow(old);
  return made;
}

void SdlBackend::SetPresenter(HWND wnd, kv::platform::WindowPresenter presenter) {
  const HWND top = TopLevel(wnd);
  std::lock_guard lock(mutex_);
  if (presenter)
    presenters_[top] = std::move(presenter);
  else
    presenters_.erase(top);
}

}  // namespace kv::win::detail
