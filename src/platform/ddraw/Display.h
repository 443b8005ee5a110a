// The display as the DirectDraw objects share it: the backend that knows the
// real (or virtual) monitor, the mode in effect, which DirectDraw object
// holds the exclusive level, the live surfaces (so a mode change or a lost
// focus can mark them lost), the failure hooks and vertical-blank timing.
// One per process. Internal to the display layer.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "korvane3d/platform/ddraw/VirtualMonitor.h"
#include "korvane3d/platform/win/WinTypes.h"

namespace kv::ddraw {

class SurfaceImpl;
class DirectDrawObject;

// What a display backend provides: the monitor's modes and going full
// screen. Headless: the virtual monitor. SDL: the real display.
class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;
  virtual std::vector<DisplayModeInfo> Modes() = 0;  // sorted, unique
  virtual DisplayModeInfo DesktopMode() = 0;
  // Puts window in full screen at mode; false when the display refuses.
  virtual bool EnterFullScreen(HWND window, const DisplayModeInfo& mode) = 0;
  virtual void LeaveFullScreen(HWND window) = 0;
};

DisplayBackend& HeadlessDisplayBackend();
// The SDL display; only called while the SDL backend is in effect.
DisplayBackend& SdlDisplayBackend();

class Display {
 public:
  static Display& Instance();

  std::vector<DisplayModeInfo> Modes();
  DisplayModeInfo CurrentMode();

  // Cooperative level. Exclusive is held by one DirectDraw object.
  HRESULT AcquireExclusive(const DirectDrawObject* owner, HWND window);
  void ReleaseExclusive(const DirectDrawObject* owner);  // restores the desktop mode
  bool IsExclusive(const DirectDrawObject* owner);
  HWND ExclusiveWindow(const DirectDrawObject* owner);
  HWND AnyExclusiveWindow();  // whoever holds the level
  HRESULT SetMode(const DirectDrawObject* owner, const DisplayModeInfo& wanted);
  void RestoreMode(const DirectDrawObject* owner);
  // The exclusive window went to the background: its surfaces are lost.
  void FullScreenFocusLost(HWND window);

  // Surface registry.
  void Register(SurfaceImpl* surface);
  void Unregister(SurfaceImpl* surface);
  void MarkAllLost();
  // Restores every lost surface of owner (RestoreAllSurfaces); the first
  // failure, or DD_OK.
  HRESULT RestoreAll(const DirectDrawObject* owner);
  // What the screen shows (see ReadScreenPixels). Reads under the registry
  // lock, which a dying surface takes before its memory goes.
  PixelImage ReadScreen();

  // Hooks.
  void FailVideoMemory(int count);
  bool TakeVideoMemoryFailure();
  void FailNextBlt(HRESULT hr);
  void FailNextFlip(HRESULT hr);
  HRESULT TakeBltFailure();
  HRESULT TakeFlipFailure();
  void ResetHooks();

  // Sleeps until the next vertical blank begins (or, with end, ends);
  // returns at once while the wait is switched off.
  void WaitForVerticalBlank(bool end);
  void SetVerticalBlankWait(bool wait) { verticalBlankWait_ = wait; }

 private:
  Display() = default;
  DisplayBackend& Backend();
  // These need mutex_ held.
  DisplayModeInfo CurrentModeLocked();
  void LoseModeDependentSurfaces();
  // The window that left full screen (to repaint once mutex_ is let go), or null.
  HWND LeaveFullScreenLocked();

  std::mutex mutex_;
  const DirectDrawObject* exclusiveOwner_ = nullptr;
  HWND exclusiveWindow_ = nullptr;
  std::optional<DisplayModeInfo> fullScreenMode_;  // set while a mode change is in effect
  std::vector<SurfaceImpl*> surfaces_;             // in creation order
  int videoMemoryFailures_ = 0;
  HRESULT nextBltFailure_ = S_OK;
  HRESULT nextFlipFailure_ = S_OK;
  std::atomic<bool> verticalBlankWait_{true};
};

}  // namespace kv::ddraw
