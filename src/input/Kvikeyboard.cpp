#include "korvane3d/input/Kvikeyboard.h"

#include <algorithm>
#include <cstring>

#include "korvane3d/host/Link.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

const TClassInfo& TKVIKeyboard::StaticClass() {
  static const TClassInfo info = DefineClass<TKVIKeyboard, TKVIInputDevice>("TKVIKeyboard", [](PropertyBuilder<TKVIKeyboard>& p) {
    p.Event("OnKeyPressed", &TKVIKeyboard::OnKeyPressed);
    p.Event("OnKeyUp", &TKVIKeyboard::OnKeyUp);
    p.Event("OnKeyDown", &TKVIKeyboard::OnKeyDown);
    p.Event("OnMoreKeys", &TKVIKeyboard::OnMoreKeys);
  });
  return info;
}

TKVIKeyboard::TKVIKeyboard(TComponent* owner) : TKVIInputDevice(owner) {}

TKVIKeyboard::~TKVIKeyboard() {
  StopPolling();
  Deactivation();
}

HRESULT TKVIKeyboard::Note(HRESULT hr) {
  LastDXResult = hr;
  ReportDXError(hr, nullptr, false);
  return hr;
}

void TKVIKeyboard::Activation() {
  Note(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, directInput_.ReleaseAndGetAddressOf(), nullptr));
  if (directInput_) Note(directInput_->CreateDevice(GUID_SysKeyboard, device_.ReleaseAndGetAddressOf(), nullptr));
  if (!device_) return;
  Note(device_->SetDataFormat(&c_dfDIKeyboard));
  if (Buffered()) {
    const DIPROPDWORD prop = BufferSizeProperty(BufferSize());
    Note(device_->SetProperty(DIPROP_BUFFERSIZE, &prop.diph));
  }
  AttachWakeEvent();
  SetFocusControl();
}

void TKVIKeyboard::SetFocusControl() {
  if (!device_) return;
  if (Note(device_->SetCooperativeLevel(OwnerWindow(), CooperativeFlags())) == DI_OK) Note(device_->Acquire());
}

void TKVIKeyboard::Deactivation() {
  if (device_) {
    const HRESULT hr = device_->Unacquire();
    LastDXResult = hr;
    device_.Reset();
    // Reported once; what the reporter answers is left as the last result.
    LastDXResult = ReportDXError(hr, nullptr, false) ? 1 : 0;
  }
  directInput_.Reset();
}

bool TKVIKeyboard::CheckChange() {
  if (!Active() || !device_) return false;
  HRESULT hr;
  if (Buffered()) {
    received_ = BufferSize();
    std::memset(buffer_.data(), 0, sizeof(buffer_));
    hr = Note(device_->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), buffer_.data(), &received_, 0));
  } else {
    hr = Note(device_->GetDeviceState(DIKEYBOARD_STATE_SIZE, keyState_.data()));
  }
  if (hr == DI_BUFFEROVERFLOW) Beep(0, 0);
  if (hr < 0) {
    received_ = 0;
    if (hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED) Note(device_->Acquire());
    return false;
  }
  return GenEvent();
}

void TKVIKeyboard::Tick(TObject* /*sender*/) {
  if (CheckChange()) GenEvent();  // CheckChange is false once a handler freed this
}

std::optional<std::chrono::milliseconds> TKVIKeyboard::RepeatInterval() const {
  if (Buffered()) return std::nullopt;
  const bool held = std::any_of(keyState_.begin(), keyState_.end(), [](BYTE b) { return (b & 0x80) != 0; });
  return held ? std::optional(kHeldKeyRepeat) : std::nullopt;
}

bool TKVIKeyboard::GenEvent() { return Buffered() ? GenBufferedEvents() : GenImmediateEvents(); }

bool TKVIKeyboard::GenBufferedEvents() {
  const Link<TKVIKeyboard> self(this);
  const DWORD count = std::min<DWORD>(received_, kReceiveRecords);
  for (DWORD i = 0; i < count; ++i) {
    const DIDEVICEOBJECTDATA r = buffer_[i];
    if (r.dwOfs == 0) continue;
    if (r.dwData == 0x80) OnKeyDown(this, r.dwOfs, r.dwTimeStamp, r.dwSequence);
    if (!self) return false;
    if (r.dwData == 0) OnKeyUp(this, r.dwOfs, r.dwTimeStamp, r.dwSequence);
    if (!self) return false;
  }
  return true;
}

bool TKVIKeyboard::GenImmediateEvents() {
  const Link<TKVIKeyboard> self(this);
  bool anyDown = false;
  for (DWORD key = 0; key < DIKEYBOARD_STATE_SIZE; ++key) {
    const BYTE old = previousKeyState_[key];
    const BYTE now = keyState_[key];
    previousKeyState_[key] = now;
    anyDown = anyDown || now != 0;
    if (old < now) OnKeyDown(this, key, 0, 0);
    if (!self) return false;
    if (old > now) OnKeyUp(this, key, 0, 0);
    if (!self) return false;
    if ((now & 0x80) != 0) OnKeyPressed(this, key);
    if (!self) return false;
  }
  if (anyDown) OnMoreKeys(this);
  return static_cast<bool>(self);
}

}  // namespace kv
