#include "korvane3d/platform/dinput/HeadlessInput.h"

#include <atomic>

#include "korvane3d/platform/dinput/InputHub.h"
#include "korvane3d/platform/dinput/InputSource.h"

namespace kv::dinput {
namespace {

class Headless final : public InputSource {
 public:
  std::uint32_t FocusKey(HWND) override { return 1; }  // one focus for all windows
  bool HasFocus(std::uint32_t) const override { return focused.load(); }
  void SetMouseCaptured(bool captured) override { mouseCaptured.store(captured); }

  std::atomic<bool> focused{true};
  std::atomic<bool> mouseCaptured{false};
};

Headless& State() {
  static Headless* headless = new Headless();  // outlives every device
  return *headless;
}

}  // namespace

InputSource& HeadlessSource() { return State(); }

bool HeadlessInput::PressKey(BYTE scanCode, DWORD time) {
  if (scanCode == 0) return false;
  InputHub::Instance().DeliverKey(scanCode, true, time);
  return true;
}

bool HeadlessInput::ReleaseKey(BYTE scanCode, DWORD time) {
  if (scanCode == 0) return false;
  InputHub::Instance().DeliverKey(scanCode, false, time);
  return true;
}

void HeadlessInput::MoveMouse(LONG dx, LONG dy, LONG dz, DWORD time) {
  InputHub::Instance().DeliverMove(dx, dy, dz, time);
}

bool HeadlessInput::Button(int index, bool down, DWORD time) {
  if (index < 0 || index >= kMouseButtons) return false;
  InputHub::Instance().DeliverButton(index, down, time);
  return true;
}

void HeadlessInput::LoseFocus() {
  State().focused.store(false);
  InputHub::Instance().LoseFocus([](std::uint32_t) { return true; });
}

void HeadlessInput::GainFocus() {
  State().focused.store(true);
  InputHub::Instance().FocusGained();
}

bool HeadlessInput::HasFocus() { return State().focused.load(); }

bool HeadlessInput::KeyHeld(BYTE scanCode) { return InputHub::Instance().Held().keys[scanCode]; }

bool HeadlessInput::ButtonHeld(int index) {
  return index >= 0 && index < kMouseButtons && InputHub::Instance().Held().buttons[index];
}

bool HeadlessInput::MouseCaptured() { return State().mouseCaptured.load(); }

std::vector<HeadlessInput::AcquiredDevice> HeadlessInput::AcquiredDevices() {
  std::vector<AcquiredDevice> result;
  for (const auto& info : InputHub::Instance().Acquired()) {
    result.push_back({info.kind == DeviceKind::Mouse, info.cooperativeFlags, info.window});
  }
  return result;
}

void HeadlessInput::Reset() {
  InputHub::Instance().ResetHeldAndSequence();
  State().focused.store(true);
}

}  // namespace kv::dinput
