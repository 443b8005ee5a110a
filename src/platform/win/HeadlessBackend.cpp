// The headless backend: windows exist only as records, message boxes are
// written to stderr and recorded, and waiting for messages blocks until some
// thread posts one or wakes it. Deterministic: nothing happens unless the
// program asks.
#include <condition_variable>

#include "korvane3d/platform/win/BackendImpl.h"
#include "korvane3d/platform/win/HeadlessState.h"
#include "korvane3d/platform/win/ThreadSafety.h"

namespace kv::win::detail {
namespace {

class HeadlessBackend final : public PlatformBackend {
 public:
  kv::platform::BackendKind Kind() const override { return kv::platform::BackendKind::Headless; }

  WaitResult WaitForEvents(std::optional<std::chrono::steady_clock::time_point> deadline) override {
    MutexLock lock(mutex_);
    while (!wakeRequested_) {
      if (!deadline) {
        woken_.wait(mutex_);
      } else if (woken_.wait_until(mutex_, *deadline) == std::cv_status::timeout && !wakeRequested_) {
        return WaitResult::TimedOut;
      }
    }
    wakeRequested_ = false;
    return WaitResult::Woken;
  }
  void Wake() override {
    MutexLock lock(mutex_);
    wakeRequested_ = true;
    woken_.notify_all();
  }

  int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
    RecordMessageBox(owner, text, caption, type);
    return DefaultMessageBoxAnswer(type);
  }
  SIZE ScreenSize() override { return HeadlessScreen().Size(); }
  POINT CursorPos() override { return HeadlessScreen().Cursor(); }

 private:
  Mutex mutex_;
  std::condition_variable_any woken_;
  bool wakeRequested_ KV_GUARDED_BY(mutex_) = false;
};

}  // namespace

std::unique_ptr<PlatformBackend> MakeHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

}  // namespace kv::win::detail
