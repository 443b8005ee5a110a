// Waiting for input without spinning. A polling thread attaches an
// InputEvent to its device and sleeps in Wait until the device has taken in
// new input (or lost it), a timeout passes, or someone asks it to stop:
//
//   auto wake = std::make_shared<kv::dinput::InputEvent>();
//   kv::dinput::SetInputEvent(device, wake);       // any time, any thread
//   while (wake->Wait() != InputEvent::Stopped)
//     ... have the main thread read the device ...
//   // elsewhere: wake->RequestStop();              // ends the loop at once
//
// Besides new input, a device signals when an acquisition it was refused
// may succeed now (one of our windows got the focus, an exclusive owner let
// go), so that a thread whose device lost its input tries again.
//
// The event is shared: the device, the component and its thread each hold
// it, so none of them outlives it. One event may serve several devices.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <optional>

#include "korvane3d/platform/win/ThreadSafety.h"
#include "korvane3d/platform/win/WinTypes.h"

namespace kv {

class IDirectInputDeviceA;

namespace dinput {

class InputEvent {
 public:
  enum WaitResult { Input, Timeout, Stopped };

  // Marks new input and wakes one waiter. A signal given while nobody waits
  // is kept for the next Wait (auto-reset: one Wait consumes it).
  void Signal();
  // Stop wins over pending input: once requested, every Wait returns
  // Stopped at once until ClearStop.
  WaitResult Wait(std::chrono::milliseconds timeout);
  // Without a time limit: Input or Stopped.
  WaitResult Wait();
  void RequestStop();
  void ClearStop();
  bool StopRequested() const;

 private:
  // Takes the signal (Input) or says Stopped; none while neither is there.
  std::optional<WaitResult> TakeLocked() KV_REQUIRES(mutex_);

  mutable Mutex mutex_;
  std::condition_variable_any wake_;
  bool signalled_ KV_GUARDED_BY(mutex_) = false;
  bool stop_ KV_GUARDED_BY(mutex_) = false;
};

// Attaches event to a device made by DirectInputCreateA (null detaches).
// The device signals it whenever, while acquired, it takes in a record or a
// change of state, and when it loses its input. DIERR_INVALIDPARAM for a
// device that is not one of ours.
HRESULT SetInputEvent(IDirectInputDeviceA* device, std::shared_ptr<InputEvent> event);

}  // namespace dinput

}  // namespace kv
