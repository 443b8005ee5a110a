#include "korvane3d/platform/dinput/Device.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "korvane3d/platform/dinput/DataFormats.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv::dinput {
namespace {

constexpr DWORD kValidCooperativeFlags =
    DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND;
constexpr BYTE kDown = 0x80;

// Exactly one of each pair, and nothing else.
bool ValidCooperativeFlags(DWORD flags) {
  if (flags & ~kValidCooperativeFlags) return false;
  const bool exclusive = flags & DISCL_EXCLUSIVE, nonexclusive = flags & DISCL_NONEXCLUSIVE;
  const bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
  return exclusive != nonexclusive && foreground != background;
}

bool IsTopLevelWindow(HWND wnd) { return wnd && IsWindow(wnd) && GetParent(wnd) == nullptr; }

bool ValidDwordHeader(const DIPROPHEADER* header) {
  return header && header->dwSize == sizeof(DIPROPDWORD) && header->dwHeaderSize == sizeof(DIPROPHEADER);
}

LONG Saturate(std::int64_t v) {
  return static_cast<LONG>(std::clamp<std::int64_t>(v, std::numeric_limits<LONG>::min(),
                                                    std::numeric_limits<LONG>::max()));
}

}  // namespace

Device::Device(DeviceKind kind) : kind_(kind) { InputHub::Instance().Register(this); }

Device::~Device() { InputHub::Instance().Unregister(this); }

HRESULT Device::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDirectInputDeviceA || riid == IID_IDirectInputDevice2A) {
    *object = static_cast<IDirectInputDevice2A*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

// ---- Configuration ---------------------------------------------------------

HRESULT Device::SetDataFormat(LPCDIDATAFORMAT format) {
  if (!format || !SameFormat(*format, StandardFormat())) return DIERR_INVALIDPARAM;
  std::lock_guard lock(mutex_);
  if (acquired_) return DIERR_ACQUIRED;
  formatSet_ = true;
  return DI_OK;
}

HRESULT Device::SetCooperativeLevel(HWND wnd, DWORD flags) {
  if (!ValidCooperativeFlags(flags)) return DIERR_INVALIDPARAM;
  // Only a background, non-exclusive device may do without a window; any
  // window given must be a top-level one.
  const bool needsWindow = !((flags & DISCL_BACKGROUND) && (flags & DISCL_NONEXCLUSIVE));
  if ((wnd || needsWindow) && !IsTopLevelWindow(wnd)) return E_HANDLE;
  const std::uint32_t focusKey = wnd ? InputHub::Instance().Source().FocusKey(wnd) : 0;

  std::lock_guard lock(mutex_);
  if (acquired_) return flags == cooperativeFlags_ && wnd == window_ ? DI_OK : DIERR_ACQUIRED;
  cooperativeFlags_ = flags;
  window_ = wnd;
  focusKey_ = focusKey;
  return DI_OK;
}

HRESULT Device::GetProperty(REFGUID property, LPDIPROPHEADER header) {
  if (property != DIPROP_BUFFERSIZE) return DIERR_UNSUPPORTED;
  if (!ValidDwordHeader(header) || header->dwHow != DIPH_DEVICE || header->dwObj != 0) return DIERR_INVALIDPARAM;
  std::lock_guard lock(mutex_);
  reinterpret_cast<DIPROPDWORD*>(header)->dwData = bufferSize_;
  return DI_OK;
}

HRESULT Device::SetProperty(REFGUID property, LPCDIPROPHEADER header) {
  if (property != DIPROP_BUFFERSIZE) return DIERR_UNSUPPORTED;
  if (!ValidDwordHeader(header) || header->dwHow != DIPH_DEVICE || header->dwObj != 0) return DIERR_INVALIDPARAM;
  return SetBufferSize(*reinterpret_cast<const DIPROPDWORD*>(header));
}

HRESULT Device::SetBufferSize(const DIPROPDWORD& value) {
  std::lock_guard lock(mutex_);
  if (acquired_) return DIERR_ACQUIRED;
  bufferSize_ = std::min(value.dwData, DIBUFFERSIZE_MAX);
  buffer_.Resize(bufferSize_);
  return DI_OK;
}

void Device::SetInputEvent(std::shared_ptr<InputEvent> event) {
  std::lock_guard lock(mutex_);
  event_ = std::move(event);
}

// ---- Acquisition -----------------------------------------------------------

HRESULT Device::Acquire() {
  const HRESULT hr = AcquireLocked();
  InputHub::Instance().ApplyPending();
  return hr;
}

HRESULT Device::AcquireLocked() {
  InputHub& hub = InputHub::Instance();
  auto hubLock = hub.Lock();
  std::lock_guard lock(mutex_);
  if (!formatSet_) return DIERR_INVALIDPARAM;
  if (acquired_) return DI_NOEFFECT;
  if (Foreground() && !hub.Source().HasFocus(focusKey_)) return DIERR_OTHERAPPHASPRIO;
  if (Exclusive() && !hub.ClaimExclusiveLocked(kind_, this)) return DIERR_OTHERAPPHASPRIO;
  acquired_ = true;
  lost_ = false;
  StartFrom(hub.HeldLocked());
  return DI_OK;
}

HRESULT Device::Unacquire() {
  InputHub& hub = InputHub::Instance();
  {
    auto hubLock = hub.Lock();
    {
      std::lock_guard lock(mutex_);
      lost_ = false;
      if (!acquired_) return DI_NOEFFECT;
      acquired_ = false;
    }
    // Without this device's own lock: the hub signals the others.
    hub.ReleaseExclusiveLocked(kind_, this);
  }
  hub.ApplyPending();
  return DI_OK;
}

void Device::StartFrom(const HeldInput& held) {
  buffer_.Clear();
  axes_ = {};
  pressed_ = {};
  if (kind_ == DeviceKind::Keyboard) {
    for (std::size_t key = 0; key < held.keys.size(); ++key) pressed_[key] = held.keys[key] ? kDown : 0;
  } else {
    for (int button = 0; button < kMouseButtons; ++button) pressed_[button] = held.buttons[button] ? kDown : 0;
  }
}

bool Device::LoseInputIf(const std::function<bool(std::uint32_t)>& lost) {
  std::lock_guard lock(mutex_);
  if (!acquired_ || !Foreground() || !lost(focusKey_)) return false;
  acquired_ = false;
  lost_ = true;
  Notify();
  return true;
}

void Device::SignalIfUnacquired() {
  std::lock_guard lock(mutex_);
  if (!acquired_) Notify();
}

std::optional<InputHub::AcquiredInfo> Device::AcquiredInfo() const {
  std::lock_guard lock(mutex_);
  if (!acquired_) return std::nullopt;
  return InputHub::AcquiredInfo{kind_, cooperativeFlags_, window_};
}

HRESULT Device::NotAcquiredResult() {
  if (!lost_) return DIERR_NOTACQUIRED;
  lost_ = false;
  return DIERR_INPUTLOST;
}

// ---- Reading ----------------------------------------------------------------

HRESULT Device::GetDeviceState(DWORD cbData, LPVOID data) {
  if (!data || cbData != StateSize()) return DIERR_INVALIDPARAM;
  std::lock_guard lock(mutex_);
  if (!acquired_) return NotAcquiredResult();
  if (kind_ == DeviceKind::Keyboard) {
    std::memcpy(data, pressed_.data(), DIKEYBOARD_STATE_SIZE);
    return DI_OK;
  }
  DIMOUSESTATE state{Saturate(axes_[0]), Saturate(axes_[1]), Saturate(axes_[2]), {}};
  std::copy_n(pressed_.begin(), kMouseButtons, state.rgbButtons);
  axes_ = {};
  std::memcpy(data, &state, sizeof state);
  return DI_OK;
}

HRESULT Device::GetDeviceData(DWORD cbObjectData, LPDIDEVICEOBJECTDATA rgdod, DWORD* inOut, DWORD flags) {
  if (cbObjectData != sizeof(DIDEVICEOBJECTDATA) || !inOut || (flags & ~DIGDD_PEEK)) return DIERR_INVALIDPARAM;
  std::lock_guard lock(mutex_);
  if (bufferSize_ == 0) return DIERR_NOTBUFFERED;
  if (!acquired_) return NotAcquiredResult();
  const RecordBuffer::Taken taken = buffer_.Take(rgdod, *inOut, flags & DIGDD_PEEK);
  *inOut = taken.count;
  return taken.overflowed ? DI_BUFFEROVERFLOW : DI_OK;
}

HRESULT Device::Poll() {
  std::lock_guard lock(mutex_);
  return acquired_ ? DI_NOEFFECT : NotAcquiredResult();
}

// ---- Input from the hub -----------------------------------------------------

void Device::ReceiveKey(BYTE scanCode, bool down, DWORD time, DWORD sequence) {
  std::lock_guard lock(mutex_);
  if (!acquired_) return;
  pressed_[scanCode] = down ? kDown : 0;
  Store(scanCode, down ? kDown : 0, time, sequence);
  Notify();
}

void Device::ReceiveButton(int button, bool down, DWORD time, DWORD sequence) {
  std::lock_guard lock(mutex_);
  if (!acquired_) return;
  pressed_[button] = down ? kDown : 0;
  Store(DIMOFS_BUTTON0 + button, down ? kDown : 0, time, sequence);
  Notify();
}

void Device::ReceiveMove(const std::array<LONG, 3>& delta, DWORD time, DWORD sequence) {
  static constexpr DWORD kOffsets[3] = {DIMOFS_X, DIMOFS_Y, DIMOFS_Z};
  std::lock_guard lock(mutex_);
  if (!acquired_) return;
  for (int axis = 0; axis < 3; ++axis) {
    if (delta[axis] == 0) continue;
    axes_[axis] += delta[axis];
    Store(kOffsets[axis], static_cast<DWORD>(delta[axis]), time, sequence);
  }
  Notify();
}

void Device::Store(DWORD offset, DWORD data, DWORD time, DWORD sequence) {
  if (bufferSize_ > 0) buffer_.Push({offset, data, time, sequence});
}

void Device::Notify() {
  if (event_) event_->Signal();
}

DWORD Device::StateSize() const { return StandardFormat().dwDataSize; }

const DIDATAFORMAT& Device::StandardFormat() const {
  return kind_ == DeviceKind::Mouse ? c_dfDIMouse : c_dfDIKeyboard;
}

// ---- The attachment of an input event ------------------------------------

HRESULT SetInputEvent(IDirectInputDeviceA* device, std::shared_ptr<InputEvent> event) {
  auto* ours = dynamic_cast<Device*>(device);
  if (!ours) return DIERR_INVALIDPARAM;
  ours->SetInputEvent(std::move(event));
  return DI_OK;
}

}  // namespace kv::dinput
