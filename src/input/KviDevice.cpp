#include "korvane3d/input/KviDevice.h"

#include "korvane3d/host/Controls.h"
#include "korvane3d/host/PropertyBuilder.h"

namespace kv {

// ---- TInputCheckLoop -----------------------------------------------------------

TInputCheckLoop::TInputCheckLoop(TKVIInputDevice* device, std::shared_ptr<dinput::InputEvent> wake)
    : device_(device), wake_(std::move(wake)) {}

TInputCheckLoop::~TInputCheckLoop() { Stop(); }

void TInputCheckLoop::Stop() {
  wake_->RequestStop();
  Terminate();
  WaitFor();
}

void TInputCheckLoop::Execute() {
  while (wake_->Wait(kPollInterval) != dinput::InputEvent::Stopped) {
    if (!device_->Active()) continue;
    // Synchronize returns once the main thread has run the poll, so the
    // next request is made only after the previous poll is done.
    Synchronize([this] { PollOnMainThread(); });
  }
}

void TInputCheckLoop::PollOnMainThread() {
  // A request already queued when Stop was called is dropped here: Stop
  // runs on the main thread before it waits, so this check sees it.
  if (wake_->StopRequested()) return;
  try {
    device_->CallCheckChange();
  } catch (...) {
    device_->PollFailed();
  }
}

// ---- TKVIInputDevice -------------------------------------------------------------

const TClassInfo& TKVIInputDevice::StaticClass() {
  static const TClassInfo info = DefineClass<TKVIInputDevice, TComponent>("TKVIInputDevice", [](PropertyBuilder<TKVIInputDevice>& p) {
    p.Unsigned("BufferSize", &TKVIInputDevice::BufferSize, &TKVIInputDevice::SetBufferSize).Default(16);
    p.Boolean("Buffered", &TKVIInputDevice::Buffered, &TKVIInputDevice::SetBuffered).Default(true);
    p.Boolean("Exclusive", &TKVIInputDevice::Exclusive, &TKVIInputDevice::SetExclusive).Default(true);
    p.Boolean("Background", &TKVIInputDevice::Background, &TKVIInputDevice::SetBackground).Default(false);
  });
  return info;
}

TKVIInputDevice::TKVIInputDevice(TComponent* owner) : TComponent(owner) {}

TKVIInputDevice::~TKVIInputDevice() { StopPolling(); }

void TKVIInputDevice::SetActive(bool value) {
  if (value == Active()) return;
  active_ = value;
  if (value) {
    Activation();
  } else {
    Deactivation();
  }
}

void TKVIInputDevice::SetAutoCheck(bool value) {
  if (value == AutoCheck()) return;
  if (!value) {
    StopPolling();
    return;
  }
  wake_ = std::make_shared<dinput::InputEvent>();
  AttachWakeEvent();
  thread_ = std::make_unique<TInputCheckLoop>(this, wake_);
  thread_->Start();
}

void TKVIInputDevice::StopPolling() {
  if (!thread_) return;
  thread_->Stop();
  thread_.reset();
  if (device_) dinput::SetInputEvent(device_.Get(), nullptr);
  wake_.reset();
}

void TKVIInputDevice::AttachWakeEvent() {
  if (wake_ && device_) dinput::SetInputEvent(device_.Get(), wake_);
}

void TKVIInputDevice::Rebuild() {
  if (!Active()) return;
  Deactivation();
  Activation();
}

void TKVIInputDevice::SetBuffered(bool value) {
  if (value == buffered_) return;
  buffered_ = value;
  Rebuild();
}

void TKVIInputDevice::SetExclusive(bool value) {
  if (value == exclusive_) return;
  exclusive_ = value;
  Rebuild();
}

void TKVIInputDevice::SetBackground(bool value) {
  if (value == background_) return;
  background_ = value;
  Rebuild();
}

void TKVIInputDevice::SetBufferSize(std::uint32_t value) {
  bufferSize_ = value > kMaxBufferSize ? kMaxBufferSize : value;
}

DWORD TKVIInputDevice::CooperativeFlags() const {
  return (background_ ? DISCL_BACKGROUND : DISCL_FOREGROUND) | (exclusive_ ? DISCL_EXCLUSIVE : DISCL_NONEXCLUSIVE);
}

DIPROPDWORD TKVIInputDevice::BufferSizeProperty(DWORD size) {
  DIPROPDWORD prop{};
  prop.diph.dwSize = sizeof(DIPROPDWORD);
  prop.diph.dwHeaderSize = sizeof(DIPROPHEADER);
  prop.diph.dwObj = 0;
  prop.diph.dwHow = DIPH_DEVICE;
  prop.dwData = size;
  return prop;
}

HWND TKVIInputDevice::OwnerWindow() const {
  auto* control = dynamic_cast<TWinControl*>(Owner());
  return control != nullptr ? control->Handle() : nullptr;
}

}  // namespace kv
