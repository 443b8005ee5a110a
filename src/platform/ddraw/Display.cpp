#include "korvane3d/platform/ddraw/Display.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "korvane3d/platform/ddraw/Surface.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/Gdi.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv::ddraw {

Display& Display::Instance() {
  static Display display;
  return display;
}

DisplayBackend& Display::Backend() {
  return kv::platform::CurrentBackend() == kv::platform::BackendKind::Sdl ? SdlDisplayBackend()
                                                                          : HeadlessDisplayBackend();
}

std::vector<DisplayModeInfo> Display::Modes() { return Backend().Modes(); }

DisplayModeInfo Display::CurrentModeLocked() { return fullScreenMode_ ? *fullScreenMode_ : Backend().DesktopMode(); }

DisplayModeInfo Display::CurrentMode() {
  std::lock_guard lock(mutex_);
  return CurrentModeLocked();
}

// ---- Cooperative level and modes ------------------------------------------------

namespace {

// A window back from full screen: the full-screen frames were shown in its
// own pixels, which a form does not paint over (it paints no background),
// so they are cleared and the window and every window in it paint again.
void RepaintAfterFullScreen(HWND window) {
  if (!window || !IsWindow(window)) return;
  RECT client{};
  if (GetClientRect(window, &client)) {
    if (HDC dc = GetDC(window)) {
      FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      ReleaseDC(window, dc);
    }
  }
  InvalidateRect(window, nullptr, TRUE);
  EnumChildWindows(
      window,
      [](HWND child, LPARAM) -> BOOL {
        InvalidateRect(child, nullptr, TRUE);
        return TRUE;
      },
      0);
}

}  // namespace

HRESULT Display::AcquireExclusive(const DirectDrawObject* owner, HWND window) {
  HWND left = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (exclusiveOwner_ && exclusiveOwner_ != owner) return DDERR_EXCLUSIVEMODEALREADYSET;
    if (exclusiveOwner_ == owner && exclusiveWindow_ != window && fullScreenMode_) {
      // The full-screen mode follows the program to its new window.
      Backend().LeaveFullScreen(exclusiveWindow_);
      left = exclusiveWindow_;
      Backend().EnterFullScreen(window, *fullScreenMode_);
    }
    exclusiveOwner_ = owner;
    exclusiveWindow_ = window;
  }
  RepaintAfterFullScreen(left);
  return DD_OK;
}

HWND Display::LeaveFullScreenLocked() {
  if (!fullScreenMode_) return nullptr;
  Backend().LeaveFullScreen(exclusiveWindow_);
  const bool modeChanged = *fullScreenMode_ != Backend().DesktopMode();
  fullScreenMode_.reset();
  if (modeChanged) LoseModeDependentSurfaces();
  return exclusiveWindow_;
}

void Display::ReleaseExclusive(const DirectDrawObject* owner) {
  HWND left = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (!owner || exclusiveOwner_ != owner) return;
    left = LeaveFullScreenLocked();
    // The program's full-screen chain belongs to the exclusive level.
    for (SurfaceImpl* s : surfaces_)
      if (s->Owner() == owner && s->Role() == SurfaceRole::FlipFront) s->MarkLost();
    exclusiveOwner_ = nullptr;
    exclusiveWindow_ = nullptr;
  }
  RepaintAfterFullScreen(left);
}

bool Display::IsExclusive(const DirectDrawObject* owner) {
  std::lock_guard lock(mutex_);
  return owner && exclusiveOwner_ == owner;
}

HWND Display::ExclusiveWindow(const DirectDrawObject* owner) {
  std::lock_guard lock(mutex_);
  return owner && exclusiveOwner_ == owner ? exclusiveWindow_ : nullptr;
}

HWND Display::AnyExclusiveWindow() {
  std::lock_guard lock(mutex_);
  return exclusiveWindow_;
}

HRESULT Display::SetMode(const DirectDrawObject* owner, const DisplayModeInfo& wanted) {
  std::lock_guard lock(mutex_);
  if (!owner || exclusiveOwner_ != owner) return DDERR_NOEXCLUSIVEMODE;
  const DisplayModeInfo before = CurrentModeLocked();
  if (!Backend().EnterFullScreen(exclusiveWindow_, wanted)) return DDERR_INVALIDMODE;
  fullScreenMode_ = wanted;
  if (before != wanted) LoseModeDependentSurfaces();
  return DD_OK;
}

void Display::RestoreMode(const DirectDrawObject* owner) {
  HWND left = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (owner && exclusiveOwner_ == owner) left = LeaveFullScreenLocked();
  }
  RepaintAfterFullScreen(left);
}

void Display::FullScreenFocusLost(HWND window) {
  std::lock_guard lock(mutex_);
  if (!exclusiveOwner_ || window != exclusiveWindow_) return;
  for (SurfaceImpl* s : surfaces_)
    if (s->Owner() == exclusiveOwner_ && s->LosesMemoryOnModeChange()) s->MarkLost();
}

void Display::LoseModeDependentSurfaces() {
  for (SurfaceImpl* s : surfaces_)
    if (s->LosesMemoryOnModeChange()) s->MarkLost();
}

// ---- Registry -------------------------------------------------------------------

void Display::Register(SurfaceImpl* surface) {
  std::lock_guard lock(mutex_);
  surfaces_.push_back(surface);
}

void Display::Unregister(SurfaceImpl* surface) {
  std::lock_guard lock(mutex_);
  std::erase(surfaces_, surface);
}

void Display::MarkAllLost() {
  std::lock_guard lock(mutex_);
  for (SurfaceImpl* s : surfaces_) s->MarkLost();
}

HRESULT Display::RestoreAll(const DirectDrawObject* owner) {
  std::lock_guard lock(mutex_);
  const DisplayModeInfo mode = CurrentModeLocked();
  HRESULT first = DD_OK;
  for (SurfaceImpl* s : surfaces_) {
    if (s->Owner() != owner || s->Role() == SurfaceRole::BackBuffer || s->IsLost() == DD_OK) continue;
    HRESULT hr = s->RestoreKnowing(mode, exclusiveOwner_ == owner);
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  }
  return first;
}

PixelImage Display::ReadScreen() {
  std::lock_guard lock(mutex_);
  SurfaceImpl* shown = nullptr;
  for (SurfaceImpl* s : surfaces_) {
    const bool primary = s->Role() == SurfaceRole::Primary || s->Role() == SurfaceRole::FlipFront;
    if (!primary) continue;
    if (exclusiveOwner_ && s->Owner() != exclusiveOwner_) continue;
    shown = s;  // the latest one wins
  }
  return shown ? shown->ReadPixels() : PixelImage{};
}

// ---- Hooks ------------------------------------------------------------------------

void Display::FailVideoMemory(int count) {
  std::lock_guard lock(mutex_);
  videoMemoryFailures_ = std::max(0, count);
}

bool Display::TakeVideoMemoryFailure() {
  std::lock_guard lock(mutex_);
  if (videoMemoryFailures_ == 0) return false;
  --videoMemoryFailures_;
  return true;
}

void Display::FailNextBlt(HRESULT hr) {
  std::lock_guard lock(mutex_);
  nextBltFailure_ = hr;
}

void Display::FailNextFlip(HRESULT hr) {
  std::lock_guard lock(mutex_);
  nextFlipFailure_ = hr;
}

HRESULT Display::TakeBltFailure() {
  std::lock_guard lock(mutex_);
  return std::exchange(nextBltFailure_, S_OK);
}

HRESULT Display::TakeFlipFailure() {
  std::lock_guard lock(mutex_);
  return std::exchange(nextFlipFailure_, S_OK);
}

void Display::ResetHooks() {
  std::lock_guard lock(mutex_);
  videoMemoryFailures_ = 0;
  nextBltFailure_ = S_OK;
  nextFlipFailure_ = S_OK;
  verticalBlankWait_ = true;
}

// ---- Vertical blank ---------------------------------------------------------------

void Display::WaitForVerticalBlank(bool end) {
  if (!verticalBlankWait_) return;
  int hz = CurrentMode().refreshRate;
  if (hz <= 0 || hz > 1000) hz = 60;
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::nanoseconds(1'000'000'000LL / hz);
  const auto now = Clock::now().time_since_epoch();
  // The blank starts on every multiple of the period of the monotonic
  // clock; it lasts a twentieth of the period.
  auto next = (now / period + 1) * period;
  if (end) next += period / 20;
  std::this_thread::sleep_until(Clock::time_point(std::chrono::duration_cast<Clock::duration>(next)));
}

}  // namespace kv::ddraw
