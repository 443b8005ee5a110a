#include "korvane3d/platform/dinput/InputHub.h"

#include <algorithm>

#include "korvane3d/platform/dinput/Device.h"
#include "korvane3d/platform/win/Backend.h"

namespace kv::dinput {

InputHub& InputHub::Instance() {
  // Never destroyed: devices an application leaks may still be released
  // during static destruction.
  static InputHub* hub = new InputHub();
  return *hub;
}

InputHub::InputHub() : source_(&HeadlessSource()) {}

void InputHub::Register(Device* device) {
  std::lock_guard life(lifecycleMutex_);
  if (liveDevices_++ == 0) {
    // The backend may have changed since the last device went away.
    InputSource& source =
        kv::platform::CurrentBackend() == kv::platform::BackendKind::Sdl ? SdlSource() : HeadlessSource();
    source_.store(&source);
    source.Start();
  }
  std::lock_guard lock(mutex_);
  devices_.push_back(device);
}

void InputHub::Unregister(Device* device) {
  std::lock_guard life(lifecycleMutex_);
  {
    std::lock_guard lock(mutex_);
    std::erase(devices_, device);
    ReleaseExclusiveLocked(device->Kind(), device);
  }
  source_.load()->ApplyPending();
  if (--liveDevices_ == 0) source_.load()->Stop();
}

void InputHub::DeliverKey(BYTE scanCode, bool down, DWORD time) {
  if (scanCode == 0) return;
  std::lock_guard lock(mutex_);
  if (held_.keys[scanCode] == down) return;
  held_.keys[scanCode] = down;
  const DWORD sequence = NextSequenceLocked();
  for (Device* device : devices_) {
    if (device->Kind() == DeviceKind::Keyboard) device->ReceiveKey(scanCode, down, time, sequence);
  }
}

void InputHub::DeliverButton(int button, bool down, DWORD time) {
  if (button < 0 || button >= kMouseButtons) return;
  std::lock_guard lock(mutex_);
  if (held_.buttons[button] == down) return;
  held_.buttons[button] = down;
  const DWORD sequence = NextSequenceLocked();
  for (Device* device : devices_) {
    if (device->Kind() == DeviceKind::Mouse) device->ReceiveButton(button, down, time, sequence);
  }
}

void InputHub::DeliverMove(LONG dx, LONG dy, LONG dz, DWORD time) {
  if (dx == 0 && dy == 0 && dz == 0) return;
  std::lock_guard lock(mutex_);
  // The axes of one movement happen together and share a sequence number.
  const DWORD sequence = NextSequenceLocked();
  for (Device* device : devices_) {
    if (device->Kind() == DeviceKind::Mouse) device->ReceiveMove({dx, dy, dz}, time, sequence);
  }
}

void InputHub::LoseFocus(const std::function<bool(std::uint32_t)>& lost) {
  {
    std::lock_guard lock(mutex_);
    for (Device* device : devices_) {
      if (device->LoseInputIf(lost)) ReleaseExclusiveLocked(device->Kind(), device);
    }
  }
  ApplyPending();
}

void InputHub::FocusGained() {
  std::lock_guard lock(mutex_);
  WakeUnacquiredLocked(nullptr);
}

void InputHub::WakeUnacquiredLocked(const DeviceKind* kind) {
  for (Device* device : devices_) {
    if (kind == nullptr || device->Kind() == *kind) device->SignalIfUnacquired();
  }
}

HeldInput InputHub::Held() const {
  std::lock_guard lock(mutex_);
  return held_;
}

void InputHub::ResetHeldAndSequence() {
  std::lock_guard lock(mutex_);
  held_ = HeldInput{};
  sequence_ = 0;
}

bool InputHub::ClaimExclusiveLocked(DeviceKind kind, Device* device) {
  Device*& owner = exclusiveOwner_[static_cast<int>(kind)];
  if (owner && owner != device) return false;
  owner = device;
  UpdateMouseCaptureLocked();
  return true;
}

void InputHub::ReleaseExclusiveLocked(DeviceKind kind, Device* device) {
  Device*& owner = exclusiveOwner_[static_cast<int>(kind)];
  if (owner != device) return;
  owner = nullptr;
  UpdateMouseCaptureLocked();
  // Another device of this kind may have been refused meanwhile.
  WakeUnacquiredLocked(&kind);
}

void InputHub::UpdateMouseCaptureLocked() {
  const bool captured = exclusiveOwner_[static_cast<int>(DeviceKind::Mouse)] != nullptr;
  if (captured == mouseCaptured_) return;
  mouseCaptured_ = captured;
  source_.load()->SetMouseCaptured(captured);
}

std::vector<InputHub::AcquiredInfo> InputHub::Acquired() const {
  std::lock_guard lock(mutex_);
  std::vector<AcquiredInfo> result;
  for (const Device* device : devices_) {
    if (auto info = device->AcquiredInfo()) result.push_back(*info);
  }
  return result;
}

}  // namespace kv::dinput
