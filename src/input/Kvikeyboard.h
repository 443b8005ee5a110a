// Unit Kvikeyboard: TKVIKeyboard reads the system keyboard through
// DirectInput and reports keys on the main thread. Buffered mode fires
// OnKeyDown and OnKeyUp for every record with its time stamp and sequence;
// immediate mode compares the 256 key states with the previous poll's and
// also fires OnKeyPressed for each held key and OnMoreKeys when any is held.
//
//   auto* keys = new TKVIKeyboard(form);
//   keys->OnKeyDown = [](TObject*, DWORD key, DWORD time, DWORD seq) { ... };
//   keys->SetActive(true);      // creates, configures and acquires the device
//   keys->SetAutoCheck(true);   // or call Tick from a timer
//
// DirectInput results go to LastDXResult and the (normally silent) error
// reporter; nothing is shown by the component itself. An event handler may
// stop the polling or free the component: the events of the read that
// would follow are then dropped.
#pragma once

#include <array>

#include "korvane3d/host/Event.h"
#include "korvane3d/input/KviDevice.h"

namespace kv {

class TKeyCheckLoop : public TInputCheckLoop {
 public:
  using TInputCheckLoop::TInputCheckLoop;
};

using TKeyEvent = TEvent<TObject*, DWORD, DWORD, DWORD>;  // Sender, Key (scan code), TimeStamp, Sequence
using TKeyPressedEvent = TEvent<TObject*, DWORD>;         // Sender, Key

class TKVIKeyboard : public TKVIInputDevice {
 public:
  KV_DECLARE_CLASS()

  static constexpr std::size_t kReceiveRecords = 256;

  explicit TKVIKeyboard(TComponent* owner);
  ~TKVIKeyboard() override;

  // Creates the DirectInput object and the keyboard, sets its format and
  // (buffered) its buffer size, then SetFocusControl. Steps whose object
  // could not be made are skipped.
  void Activation() override;
  void Deactivation() override;
  // Cooperative level for the owner's window; acquires when that worked.
  void SetFocusControl() override;
  // One poll: false (no events) when inactive or when the read failed (lost
  // input is re-acquired for the next poll); otherwise fires the events of
  // the read and returns true.
  bool CheckChange() override;
  // A poll for a timer: a successful poll fires its events a second time.
  void Tick(TObject* sender);
  // Immediate mode with a key held at the last read: the polling thread
  // polls again after kHeldKeyRepeat, so held keys keep reporting.
  std::optional<std::chrono::milliseconds> RepeatInterval() const override;
  static constexpr std::chrono::milliseconds kHeldKeyRepeat{10};
  // Whether the key was held at the last immediate read.
  bool IsKeyPressed(BYTE key) const { return (keyState_[key] & 0x80) != 0; }

  TKeyPressedEvent OnKeyPressed;
  TKeyEvent OnKeyUp;
  TKeyEvent OnKeyDown;
  TNotifyEvent OnMoreKeys;

 private:
  // Stores a DirectInput result where diagnostics look and reports it.
  static HRESULT Note(HRESULT hr);
  // Each returns false when a handler freed the component.
  bool GenEvent();
  bool GenBufferedEvents();
  bool GenImmediateEvents();

  std::array<DIDEVICEOBJECTDATA, kReceiveRecords> buffer_{};
  DWORD received_ = 0;
  std::array<BYTE, DIKEYBOARD_STATE_SIZE> keyState_{};
  std::array<BYTE, DIKEYBOARD_STATE_SIZE> previousKeyState_{};
};

}  // namespace kv
