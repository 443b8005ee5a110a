// Unit Kvimouse: TKVIMouse reads the system mouse through DirectInput and
// reports it on the main thread: a down and an up event for each of four
// buttons, a move event and a change event. Buffered mode reports every
// record with its time stamp and sequence; immediate mode compares device
// states and fires OnChange when one differs.
//
//   auto* mouse = new TKVIMouse(form);
//   mouse->OnButton0Down = [](TObject*, DWORD time, DWORD seq) { ... };
//   mouse->SetActive(true);        // creates and configures the device
//   mouse->SetFocusControl();      // cooperative level for the form; acquire
//   mouse->SetAutoCheck(true);     // or call Tick from a timer
//
// Failed activation steps show message boxes with the step's name; the
// buffer-size step leaves a diagnostic code in Tag (see Activation).
#pragma once

#include <array>

#include "korvane3d/host/Event.h"
#include "korvane3d/input/KviDevice.h"

namespace kv {

class TKVIMouse;

class TMouseCheckLoop : public TInputCheckLoop {
 public:
  using TInputCheckLoop::TInputCheckLoop;
};

using TKVIButtonEvent = TEvent<TObject*, DWORD, DWORD>;  // Sender, TimeStamp, Sequence
using TKVIMoveEvent = TEvent<TObject*, LONG, LONG, LONG, DWORD, DWORD>;  // Sender, X, Y, Z, TimeStamp, Sequence

class TKVIMouse : public TKVIInputDevice {
 public:
  KV_DECLARE_CLASS()

  // Records the receive buffer holds.
  static constexpr std::size_t kReceiveRecords = 1024;

  explicit TKVIMouse(TComponent* owner);
  ~TKVIMouse() override;

  // Creates the DirectInput object and the mouse, sets its format, the
  // cooperative level for the owner's window and (buffered) the buffer size.
  // Each failed step shows a message box naming it; the device is not
  // acquired. Tag afterwards: 5 buffer size set, 1 to 4 its failure kind.
  void Activation() override;
  void Deactivation() override;
  // Tag 2 when the device is acquired for the owner's window, else 1.
  void SetFocusControl() override;
  // One poll. Buffered: fires the events of every record and returns false.
  // Immediate: fires OnChange and returns true when the state changed.
  // Inactive: false, no events.
  bool CheckChange() override;
  // A poll for a timer: a change fires OnChange once more.
  void Tick(TObject* sender);

  // The cursor position the mouse keeps: moved by each buffered record
  // (exclusive) or the system cursor (shared), within the screen.
  LONG CursorX() const { return cursorX_; }
  LONG CursorY() const { return cursorY_; }

  TKVIButtonEvent OnButton0Down, OnButton0Up, OnButton1Down, OnButton1Up;
  TKVIButtonEvent OnButton2Down, OnButton2Up, OnButton3Down, OnButton3Up;
  TKVIMoveEvent OnMove;
  TNotifyEvent OnChange;

 protected:
  void PollFailed() override;

 private:
  void ReadBuffered();
  bool ReadImmediate();
  // Re-acquires lost input and rebuilds a device that lost its buffer.
  void RecoverFromReadError(HRESULT hr);
  // Fire the record's events; false once a handler freed the component.
  bool ReportRecord(const DIDEVICEOBJECTDATA& record);
  void ReportButton(int button, const DIDEVICEOBJECTDATA& record);
  void UpdateCursor();
  void SetBufferSizeProperty();

  std::array<DIDEVICEOBJECTDATA, kReceiveRecords> buffer_{};
  LONG dx_ = 0, dy_ = 0, dz_ = 0;
  std::array<bool, 4> buttons_{};
  LONG cursorX_ = 0, cursorY_ = 0;
};

}  // namespace kv
