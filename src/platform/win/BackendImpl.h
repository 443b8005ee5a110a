// The small interface each backend implements, and the process-wide access to
// the one in effect. Windows, messages and painting are kept by common code
// (WindowRegistry.h, MessageQueue.h); a backend only supplies what differs:
// the native window behind each top-level window, native events, waiting,
// message boxes, the screen and the cursor. Internal to the platform layer.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/WinTypes.h"

namespace kv::win::detail {

struct Framebuffer;

class PlatformBackend {
 public:
  virtual ~PlatformBackend() = default;
  virtual kv::platform::BackendKind Kind() const = 0;

  // Top-level windows (main thread). screenRect is the client area on the
  // screen: top-level windows have no frame of their own.
  virtual void TopLevelCreated(HWND, const RECT& /*screenRect*/, const std::string& /*caption*/,
                               bool /*visible*/) {}
  virtual void TopLevelDestroyed(HWND) {}
  virtual void TopLevelPlaced(HWND, const RECT& /*screenRect*/) {}
  virtual void TopLevelShown(HWND, bool /*visible*/) {}
  virtual void TopLevelCaption(HWND, const std::string& /*caption*/) {}
  virtual void TopLevelTopmost(HWND, bool /*topmost*/) {}
  virtual void Present(HWND, const Framebuffer&) {}
  virtual void* NativeHandle(HWND) { return nullptr; }
  virtual void* OpenGlHandle(HWND) { return nullptr; }
  virtual void SetPresenter(HWND, kv::platform::WindowPresenter) {}
  virtual HWND KeyboardFocusWindow() { return nullptr; }

  // Events (main thread, except Wake). PumpEvents turns pending native
  // events into window messages and says whether a wake-up was among them.
  // WaitForEvents blocks until a native event arrives, Wake is called or the
  // deadline passes. A Wake given while nobody waits is kept: the next
  // WaitForEvents (or, for SDL, the next PumpEvents) sees it.
  enum class WaitResult { Woken, NativeEvents, TimedOut };
  virtual bool PumpEvents() { return false; }
  virtual WaitResult WaitForEvents(std::optional<std::chrono::steady_clock::time_point> deadline) = 0;
  virtual void Wake() = 0;

  // A modal message box on the main thread; returns the button's ID.
  virtual int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) = 0;
  virtual SIZE ScreenSize() = 0;
  virtual POINT CursorPos() = 0;
};

// The backend in effect, selecting Auto on first use. Never null.
std::shared_ptr<PlatformBackend> ActiveBackend();
// The backend in effect without selecting one: null before the first use.
// For other threads, which must not become the main thread by asking.
std::shared_ptr<PlatformBackend> SelectedBackend();
// Whether the calling thread is the main thread, false while no backend
// has been selected (nobody is the main thread yet).
bool IsSelectedMainThread();

std::unique_ptr<PlatformBackend> MakeHeadlessBackend();
// Null when SDL's video cannot start.
std::unique_ptr<PlatformBackend> MakeSdlBackend();

// Runs fn on the main thread and waits for it: at once when called there,
// otherwise the next time the main thread takes messages or serves its
// queue (MainThread.h).
void RunOnMainThread(const std::function<void()>& fn);

// What answers a message box when nobody can be asked: the first button.
int DefaultMessageBoxAnswer(UINT type);
// The headless recording, shared by the backends that cannot show a box.
void RecordMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

}  // namespace kv::win::detail
