#include "korvane3d/input/KviDevice.h"

#include "korvane3d/host/Controls.h"
#include "korvane3d/host/PropertyBuilder.h"

namespace kv {

// ---- TInputCheckLoop -----------------------------------------------------------

TInputCheckLoop::TInputCheckLoop(TKVIInputDevice* device, std::shared_ptr<dinput::InputEvent> wake)
    : device_(device), wake_(std::move(wake)) {}

TInputCheckLoop::~TInputCheckLoop() {
  Terminate();
  WaitFor();
}

void TInputCheckLoop::TerminateRequested() { wake_->RequestStop(); }

void TInputCheckLoop::Execute() {
  std::optional<std::chrono::milliseconds> repeat;
  for (;;) {
    const dinput::InputEvent::WaitResult woken = repeat ? wake_->Wait(*repeat) : wake_->Wait();
    if (woken == dinput::InputEvent::Stopped) return;
    if (!device_->Active()) {
      repeat.reset();
      continue;  // sleeps until the next activation signals
    }
    // Synchronize returns once the main thread has run the poll, so the
    // next request is made only after the previous poll is done.
    Synchronize([this, &repeat] { PollOnMainThread(repeat); });
  }
}

void TInputCheckLoop::PollOnMainThread(std::optional<std::chrono::milliseconds>& repeat) {
  // A request already queued when the thread was stopped is dropped here:
  // the stop happens on the main thread, before this runs.
  if (Terminated()) return;
  try {
    device_->CallCheckChange();
  } catch (...) {
    if (!Terminated()) device_->PollFailed();
  }
  // A handler may have stopped the thread or freed the component.
  if (!Terminated()) repeat = device_->RepeatInterval();
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
  wake_->Signal();  // the first poll acquires a device nobody acquired yet
  thread_ = std::make_unique<TInputCheckLoop>(this, wake_);
  thread_->Start();
}

void TKVIInputDevice::StopPolling() {
  if (!thread_) return;
  TThread::Dispose(std::move(thread_));
  if (device_) dinput::SetInputEvent(device_.Get(), nullptr);
  wake_.reset();
}

void TKVIInputDevice::AttachWakeEvent() {
  if (!wake_ || !device_) return;
  dinput::SetInputEvent(device_.Get(), wake_);
  wake_->Signal();
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
