// Choosing the backend, the main thread, and what headless records.
#include "korvane3d/platform/win/Backend.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "korvane3d/platform/win/BackendImpl.h"
#include "korvane3d/platform/win/MessageQueue.h"
#include "korvane3d/platform/win/WinApi.h"
#include "korvane3d/platform/win/WindowRegistry.h"

namespace kv {

namespace win::detail {
namespace {

struct BackendState {
  std::mutex selecting;  // one selection at a time
  std::mutex mutex;      // guards backend
  std::shared_ptr<PlatformBackend> backend;
  std::atomic<std::thread::id> mainThread{};
};

BackendState& State() {
  static BackendState state;
  return state;
}

struct Recordings {
  std::mutex mutex;
  std::vector<kv::platform::RecordedMessageBox> boxes;
  std::vector<kv::platform::RecordedBeep> beeps;
};

Recordings& Recorded() {
  static Recordings recordings;
  return recordings;
}

bool WantsHeadless() {
  const char* forced = std::getenv("KV_BACKEND");
  if (forced && std::string_view(forced) == "headless") return true;
  if (forced && std::string_view(forced) == "sdl") return false;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return !(x11 && *x11) && !(wayland && *wayland);
}

std::unique_ptr<PlatformBackend> MakeBackend(kv::platform::BackendKind kind) {
  using kv::platform::BackendKind;
  if (kind == BackendKind::Auto) kind = WantsHeadless() ? BackendKind::Headless : BackendKind::Sdl;
  if (kind == BackendKind::Sdl) {
    if (auto sdl = MakeSdlBackend()) return sdl;
  }
  return MakeHeadlessBackend();
}

// Replaces the backend; the caller holds state.selecting. The calling thread
// becomes the main thread.
void SelectLocked(kv::platform::BackendKind kind) {
  auto& state = State();
  state.mainThread.store(std::this_thread::get_id());
  bool hadBackend;
  {
    std::lock_guard lock(state.mutex);
    hadBackend = state.backend != nullptr;
  }
  if (hadBackend) {
    DestroyAllWindows();
    MessageQueue::Instance().Clear();
  }
  std::shared_ptr<PlatformBackend> fresh = MakeBackend(kind);
  {
    std::lock_guard lock(state.mutex);
    std::swap(state.backend, fresh);
  }
  fresh.reset();  // the previous backend ends outside the lock
}

}  // namespace

std::shared_ptr<PlatformBackend> ActiveBackend() {
  auto& state = State();
  {
    std::lock_guard lock(state.mutex);
    if (state.backend) return state.backend;
  }
  std::lock_guard selecting(state.selecting);
  {
    std::lock_guard lock(state.mutex);
    if (state.backend) return state.backend;  // another thread selected meanwhile
  }
  SelectLocked(kv::platform::BackendKind::Auto);
  std::lock_guard lock(state.mutex);
  return state.backend;
}

std::shared_ptr<PlatformBackend> SelectedBackend() {
  auto& state = State();
  std::lock_guard lock(state.mutex);
  return state.backend;
}

bool IsSelectedMainThread() {
  return SelectedBackend() != nullptr && State().mainThread.load() == std::this_thread::get_id();
}

int DefaultMessageBoxAnswer(UINT type) {
  switch (type & 0x0F) {
    case MB_YESNO:
    case 3:  // yes, no, cancel
      return IDYES;
    case 2:  // abort, retry, ignore
      return 3;
    case 5:  // retry, cancel
      return 4;
    default:
      return IDOK;
  }
}

void RecordMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  std::fprintf(stderr, "[message box] %s: %s\n", caption.c_str(), text.c_str());
  std::lock_guard lock(Recorded().mutex);
  Recorded().boxes.push_back({owner, text, caption, type});
}

void RecordBeep(DWORD frequency, DWORD duration) {
  std::lock_guard lock(Recorded().mutex);
  Recorded().beeps.push_back({frequency, duration});
}

}  // namespace win::detail

namespace platform {

using kv::win::detail::State;

BackendKind SelectBackend(BackendKind kind) {
  {
    std::lock_guard selecting(State().selecting);
    kv::win::detail::SelectLocked(kind);
  }
  return CurrentBackend();
}

BackendKind CurrentBackend() { return kv::win::detail::ActiveBackend()->Kind(); }

bool IsMainThread() {
  kv::win::detail::ActiveBackend();  // the first call fixes the main thread
  return State().mainThread.load() == std::this_thread::get_id();
}

std::vector<RecordedMessageBox> RecordedMessageBoxes() {
  auto& r = kv::win::detail::Recorded();
  std::lock_guard lock(r.mutex);
  return r.boxes;
}

void ClearRecordedMessageBoxes() {
  auto& r = kv::win::detail::Recorded();
  std::lock_guard lock(r.mutex);
  r.boxes.clear();
}

std::vector<RecordedBeep> RecordedBeeps() {
  auto& r = kv::win::detail::Recorded();
  std::lock_guard lock(r.mutex);
  return r.beeps;
}

void ClearRecordedBeeps() {
  auto& r = kv::win::detail::Recorded();
  std::lock_guard lock(r.mutex);
  r.beeps.clear();
}

void* NativeWindowHandle(HWND wnd) { return kv::win::detail::ActiveBackend()->NativeHandle(wnd); }

void* OpenGlWindowHandle(HWND wnd) { return kv::win::detail::ActiveBackend()->OpenGlHandle(wnd); }

void SetWindowPresenter(HWND wnd, WindowPresenter presenter) {
  kv::win::detail::ActiveBackend()->SetPresenter(wnd, std::move(presenter));
}

HWND FocusWindow() { return kv::win::detail::ActiveBackend()->KeyboardFocusWindow(); }

}  // namespace platform

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return kv::win::detail::ActiveBackend()->ShowMessageBox(owner, text ? text : "", caption ? caption : "Error", type);
}

}  // namespace kv
