// The system mouse or keyboard as a DirectInput device: cooperative level,
// data format, buffer, immediate state and acquisition. Input reaches an
// acquired device from the hub; reads come from any thread. Each device's
// own lock guards everything below; acquisition changes take the hub lock
// first.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "korvane3d/platform/dinput/DInput.h"
#include "korvane3d/platform/dinput/InputEvent.h"
#include "korvane3d/platform/dinput/InputHub.h"
#include "korvane3d/platform/dinput/RecordBuffer.h"

namespace kv::dinput {

class Device final : public IDirectInputDevice2A, public RefCount {
 public:
  explicit Device(DeviceKind kind);
  ~Device() override;

  // IUnknown
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  // IDirectInputDevice2A
  HRESULT GetProperty(REFGUID property, LPDIPROPHEADER header) override;
  HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT GetDeviceState(DWORD cbData, LPVOID data) override;
  HRESULT GetDeviceData(DWORD cbObjectData, LPDIDEVICEOBJECTDATA rgdod, DWORD* inOut, DWORD flags) override;
  HRESULT SetDataFormat(LPCDIDATAFORMAT format) override;
  HRESULT SetCooperativeLevel(HWND wnd, DWORD flags) override;
  HRESULT Poll() override;

  void SetInputEvent(std::shared_ptr<InputEvent> event);

  // ---- Called by the hub with the hub lock held ----
  DeviceKind Kind() const { return kind_; }
  void ReceiveKey(BYTE scanCode, bool down, DWORD time, DWORD sequence);
  void ReceiveButton(int button, bool down, DWORD time, DWORD sequence);
  void ReceiveMove(const std::array<LONG, 3>& delta, DWORD time, DWORD sequence);
  // Unacquires the device, marking its input lost, when it is an acquired
  // foreground device whose focus key satisfies lost. Returns whether it did.
  bool LoseInputIf(const std::function<bool(std::uint32_t)>& lost);
  // Signals the input event while the device is not acquired: an
  // acquisition refused earlier may succeed now.
  void SignalIfUnacquired();
  std::optional<InputHub::AcquiredInfo> AcquiredInfo() const;

 private:
  HRESULT AcquireLocked();
  bool Exclusive() const { return (cooperativeFlags_ & DISCL_EXCLUSIVE) != 0; }
  bool Foreground() const { return (cooperativeFlags_ & DISCL_FOREGROUND) != 0; }
  DWORD StateSize() const;
  const DIDATAFORMAT& StandardFormat() const;
  // The error a read of an unacquired device gets; reports a loss once.
  HRESULT NotAcquiredResult();
  void StartFrom(const HeldInput& held);
  void Store(DWORD offset, DWORD data, DWORD time, DWORD sequence);
  void Notify();
  HRESULT SetBufferSize(const DIPROPDWORD& value);

  const DeviceKind kind_;
  mutable std::mutex mutex_;
  bool formatSet_ = false;
  DWORD cooperativeFlags_ = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
  HWND window_ = nullptr;
  std::uint32_t focusKey_ = 0;
  bool acquired_ = false;
  bool lost_ = false;  // unacquired by a focus loss that no read has reported yet
  DWORD bufferSize_ = 0;
  RecordBuffer buffer_;
  std::array<std::int64_t, 3> axes_{};  // relative movement since the last state read
  std::array<BYTE, DIKEYBOARD_STATE_SIZE> pressed_{};  // keys, or the mouse's buttons
  std::shared_ptr<InputEvent> event_;
};

}  // namespace kv::dinput
