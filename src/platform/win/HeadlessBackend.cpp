// The headless backend: windows exist only as records, message boxes are
// written to stderr and recorded, and waiting for messages blocks until some
// thread posts one. Deterministic: nothing happens unless the program asks.
#include <condition_variable>
#include <mutex>

#include "korvane3d/platform/win/BackendImpl.h"
#include "korvane3d/platform/win/HeadlessState.h"

namespace kv::win::detail {
namespace {

class HeadlessBackend final : public PlatformBackend {
 public:
  kv::platform::BackendKind Kind() const override { return kv::platform::BackendKind::Headless; }

  void WaitForEvents() override {
    std::unique_lock lock(mutex_);
    woken_.wait(lock, [this] { return wakeRequested_; });
    wakeRequested_ = false;
  }
  void Wake() override {
    std::lock_guard lock(mutex_);
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
  std::mutex mutex_;
  std::condition_variable woken_;
  bool wakeRequested_ = false;
};

}  // namespace

std::unique_ptr<PlatformBackend> MakeHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

}  // namespace kv::win::detail
