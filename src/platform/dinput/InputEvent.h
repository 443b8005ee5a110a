// Waiting for input without spinning. A polling thread attaches an
// InputEvent to its device and sleeps in Wait until the device has taken in
// new input (or lost it), a timeout passes, or someone asks it to stop:
//
//   auto wake = std::make_shared<kv::dinput::InputEvent>();
//   kv::dinput::SetInputEvent(device, wake);       // any time, any thread
//   while (wake->Wait(std::chrono::milliseconds(10)) != InputEvent::Stopped)
//     ... have the main thread read the device ...
//   // elsewhere: wake->RequestStop();              // ends the loop at once
//
// The event is shared: the device, the component and its thread each hold
// it, so none of them outlives it. One event may serve several devices.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

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
  void RequestStop();
  void ClearStop();
  bool StopRequested() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool signalled_ = false;
  bool stop_ = false;
};

// Attaches event to a device made by DirectInputCreateA (null detaches).
// The device signals it whenever, while acquired, it takes in a record or a
// change of state, and when it loses its input. DIERR_INVALIDPARAM for a
// device that is not one of ours.
HRESULT SetInputEvent(IDirectInputDeviceA* device, std::shared_ptr<InputEvent> event);

}  // namespace dinput

}  // namespace kv
