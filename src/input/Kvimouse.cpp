#include "korvane3d/input/Kvimouse.h"

#include <algorithm>
#include <cstring>

#include "korvane3d/host/Application.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

namespace {

void ShowStepFailed(const char* text) { Application().MessageBox(text, "", 0); }

// What a failed DirectInputCreateA is called in its own box.
const char* CreateFailureText(HRESULT hr) {
  switch (hr) {
    case DIERR_BETADIRECTINPUTVERSION: return "DIERR_BETADIRECTINPUTVERSION";
    case DIERR_INVALIDPARAM: return "DIERR_INVALIDPARAM";
    case DIERR_OLDDIRECTINPUTVERSION: return "DIERR_OLDDIRECTINPUTVERSION";
    case DIERR_OUTOFMEMORY: return "DIERR_OUTOFMEMORY";
    default: return nullptr;
  }
}

// The diagnostic code the buffer-size step leaves in Tag; 0 leaves Tag alone.
std::int32_t BufferSizeTag(HRESULT hr) {
  switch (hr) {
    case DIERR_INVALIDPARAM: return 1;
    case DIERR_NOTINITIALIZED: return 2;
    case DIERR_OBJECTNOTFOUND: return 3;
    case DIERR_UNSUPPORTED: return 4;
    case DI_PROPNOEFFECT:
    case DI_OK: return 5;
    default: return 0;
  }
}

}  // namespace

const TClassInfo& TKVIMouse::StaticClass() {
  static const TClassInfo info = DefineClass<TKVIMouse, TKVIInputDevice>("TKVIMouse", [](PropertyBuilder<TKVIMouse>& p) {
    p.Event("OnButton0Down", &TKVIMouse::OnButton0Down);
    p.Event("OnButton0Up", &TKVIMouse::OnButton0Up);
    p.Event("OnButton1Down", &TKVIMouse::OnButton1Down);
    p.Event("OnButton1Up", &TKVIMouse::OnButton1Up);
    p.Event("OnButton2Down", &TKVIMouse::OnButton2Down);
    p.Event("OnButton2Up", &TKVIMouse::OnButton2Up);
    p.Event("OnButton3Down", &TKVIMouse::OnButton3Down);
    p.Event("OnButton3Up", &TKVIMouse::OnButton3Up);
    p.Event("OnMove", &TKVIMouse::OnMove);
    p.Event("OnChange", &TKVIMouse::OnChange);
  });
  return info;
}

TKVIMouse::TKVIMouse(TComponent* owner) : TKVIInputDevice(owner) {
  POINT p{};
  if (GetCursorPos(&p)) {
    cursorX_ = p.x;
    cursorY_ = p.y;
  }
}

TKVIMouse::~TKVIMouse() {
  StopPolling();
  Deactivation();
}

void TKVIMouse::Activation() {
  HRESULT hr = DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, directInput_.ReleaseAndGetAddressOf(), nullptr);
  if (const char* text = CreateFailureText(hr)) ShowStepFailed(text);
  if (hr == DI_OK) {
    hr = directInput_->CreateDevice(GUID_SysMouse, device_.ReleaseAndGetAddressOf(), nullptr);
  } else {
    ShowStepFailed("DirectInputCreate");
  }
  if (hr == DI_OK) {
    hr = device_->SetDataFormat(&c_dfDIMouse);
  } else {
    ShowStepFailed("CreateDevice");
  }
  if (hr == DI_OK) hr = device_->SetCooperativeLevel(OwnerWindow(), CooperativeFlags());
  if (hr == DIERR_INVALIDPARAM || hr == DIERR_NOTINITIALIZED || hr == E_HANDLE) ShowStepFailed("SetDataFormat");
  AttachWakeEvent();
  if (hr != DI_OK) {
    ShowStepFailed("SetCooperativeLevel");
    return;
  }
  if (Buffered()) SetBufferSizeProperty();
}

void TKVIMouse::SetBufferSizeProperty() {
  const DIPROPDWORD prop = BufferSizeProperty(BufferSize());
  const HRESULT hr = device_->SetProperty(DIPROP_BUFFERSIZE, &prop.diph);
  if (const std::int32_t tag = BufferSizeTag(hr)) SetTag(tag);
  if (hr != DI_OK) ShowStepFailed("SetProperty");
}

void TKVIMouse::Deactivation() {
  if (device_) {
    device_->Unacquire();
    device_.Reset();
  }
  directInput_.Reset();
}

void TKVIMouse::SetFocusControl() {
  if (!device_) return;
  const HWND window = OwnerWindow();
  if (window == nullptr) {
    SetTag(2);
    return;
  }
  HRESULT hr = device_->SetCooperativeLevel(window, CooperativeFlags());
  if (hr == DI_OK) hr = device_->Acquire();
  SetTag(hr == DI_OK ? 2 : 1);
}

void TKVIMouse::Tick(TObject* /*sender*/) {
  const Link<TKVIMouse> self(this);
  if (CheckChange() && self) OnChange(this);
}

bool TKVIMouse::CheckChange() {
  if (!Active() || !device_) return false;
  if (Buffered()) {
    ReadBuffered();
    return false;
  }
  return ReadImmediate();
}

void TKVIMouse::RecoverFromReadError(HRESULT hr) {
  if (hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED) {
    device_->Acquire();
  } else if (hr == DIERR_NOTBUFFERED && BufferSize() != 0) {
    // The device lost its buffer: build it again. With a buffer size of 0
    // a rebuild cannot help, and doing it on every poll would only drop the
    // acquisition each time.
    Deactivation();
    Activation();
  }
}

void TKVIMouse::ReadBuffered() {
  DWORD count = BufferSize();
  std::memset(buffer_.data(), 0, sizeof(buffer_));
  const HRESULT hr = device_->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), buffer_.data(), &count, 0);
  if (hr < 0) {
    RecoverFromReadError(hr);
    return;
  }
  if (hr == DI_BUFFEROVERFLOW) {
    buttons_ = {};
    dx_ = dy_ = dz_ = 0;
    Beep(1000, 1);
    return;
  }
  count = std::min<DWORD>(count, kReceiveRecords);
  for (DWORD i = 0; i < count; ++i) {
    // A copy: a handler may free the mouse, and the buffer with it, while
    // its record is still being reported.
    const DIDEVICEOBJECTDATA record = buffer_[i];
    if (!ReportRecord(record)) return;
  }
}

bool TKVIMouse::ReportRecord(const DIDEVICEOBJECTDATA& record) {
  const Link<TKVIMouse> self(this);
  if (record.dwOfs >= DIMOFS_BUTTON0 && record.dwOfs <= DIMOFS_BUTTON3) {
    ReportButton(static_cast<int>(record.dwOfs - DIMOFS_BUTTON0), record);
    if (!self) return false;
  }
  dx_ = dy_ = dz_ = 0;
  const auto movement = static_cast<LONG>(record.dwData);
  if (record.dwOfs == DIMOFS_X) dx_ = movement;
  if (record.dwOfs == DIMOFS_Y) dy_ = movement;
  if (record.dwOfs == DIMOFS_Z) dz_ = movement;
  UpdateCursor();
  OnMove(this, dx_, dy_, dz_, record.dwTimeStamp, record.dwSequence);
  if (!self) return false;
  OnChange(this);
  return static_cast<bool>(self);
}

void TKVIMouse::ReportButton(int button, const DIDEVICEOBJECTDATA& record) {
  static constexpr TKVIButtonEvent TKVIMouse::*kDown[4] = {&TKVIMouse::OnButton0Down, &TKVIMouse::OnButton1Down,
                                                             &TKVIMouse::OnButton2Down, &TKVIMouse::OnButton3Down};
  static constexpr TKVIButtonEvent TKVIMouse::*kUp[4] = {&TKVIMouse::OnButton0Up, &TKVIMouse::OnButton1Up,
                                                           &TKVIMouse::OnButton2Up, &TKVIMouse::OnButton3Up};
  buttons_[button] = record.dwData != 0;
  if (record.dwData == 0x80) {
    (this->*kDown[button])(this, record.dwTimeStamp, record.dwSequence);
  } else if (record.dwData == 0) {
    (this->*kUp[button])(this, record.dwTimeStamp, record.dwSequence);
  }
}

void TKVIMouse::UpdateCursor() {
  if (Exclusive()) {
    cursorX_ += dx_;
    cursorY_ += dy_;
  } else {
    POINT p{};
    if (GetCursorPos(&p)) {
      cursorX_ = p.x;
      cursorY_ = p.y;
    }
  }
  cursorX_ = std::clamp<LONG>(cursorX_, 0, Screen().Width());
  cursorY_ = std::clamp<LONG>(cursorY_, 0, Screen().Height());
}

bool TKVIMouse::ReadImmediate() {
  DIMOUSESTATE state{};
  const HRESULT hr = device_->GetDeviceState(sizeof(state), &state);
  if (hr < 0) {
    RecoverFromReadError(hr);
    return false;
  }
  bool changed = false;
  auto update = [&changed](auto& stored, auto value) {
    if (stored != value) {
      stored = value;
      changed = true;
    }
  };
  update(dx_, state.lX);
  update(dy_, state.lY);
  update(dz_, state.lZ);
  for (std::size_t b = 0; b < buttons_.size(); ++b) update(buttons_[b], (state.rgbButtons[b] & 0x80) != 0);
  if (changed) OnChange(this);
  return changed;
}

void TKVIMouse::PollFailed() { Beep(0, 0); }

}  // namespace kv
