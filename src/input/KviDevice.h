// What the mouse and keyboard components share: the device settings with
// their setters, the cooperative-level flags, the owner's window, and the
// polling thread that hands every poll to the main thread.
//
// The polling thread (TInputCheckLoop) does not spin and keeps no timer: it
// sleeps until the device takes in input (or an acquisition it lost may
// succeed again), then asks the main thread to poll and waits until that
// poll has run before it sleeps again. It polls once at its start and after
// each activation, so that a device not yet acquired is acquired by the
// first poll. The one repeat is the keyboard's: in immediate mode, while a
// key is held, it polls every kHeldKeyRepeat, so that OnKeyPressed and
// OnMoreKeys keep coming.
//
// Stopping it (AutoCheck false, destruction) is orderly: a poll that was
// requested but not yet run is dropped, and the thread is joined before the
// call returns, or, when an event handler of this very poll stops or frees
// the component, left to end once the poll returns (TThread::Dispose).
//
// Threads: the component belongs to the main thread. The polling thread only
// reads Active (atomic) and waits on the component's wake-up event.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "korvane3d/host/Component.h"
#include "korvane3d/host/Thread.h"
#include "korvane3d/platform/dinput/DInput.h"
#include "korvane3d/platform/dinput/InputEvent.h"

namespace kv {

class TKVIInputDevice;

class TInputCheckLoop : public TThread {
 public:
  TInputCheckLoop(TKVIInputDevice* device, std::shared_ptr<dinput::InputEvent> wake);
  ~TInputCheckLoop() override;

 protected:
  void Execute() override;
  // Stop wins over input: no poll is requested once it is asked for.
  void TerminateRequested() override;

 private:
  // On the main thread; `repeat` receives when to poll again without input.
  void PollOnMainThread(std::optional<std::chrono::milliseconds>& repeat);

  TKVIInputDevice* device_;  // not owning: valid until Terminated()
  std::shared_ptr<dinput::InputEvent> wake_;
};

class TKVIInputDevice : public TComponent {
 public:
  KV_DECLARE_CLASS()

  // Largest DirectInput buffer the components ask for, in records.
  static constexpr std::uint32_t kMaxBufferSize = 256;

  explicit TKVIInputDevice(TComponent* owner);
  ~TKVIInputDevice() override;

  bool Active() const { return active_.load(); }
  void SetActive(bool value);
  bool AutoCheck() const { return thread_ != nullptr; }
  void SetAutoCheck(bool value);
  bool Buffered() const { return buffered_; }
  void SetBuffered(bool value);
  // Lowered to 256 when larger; takes effect at the next activation.
  std::uint32_t BufferSize() const { return bufferSize_; }
  void SetBufferSize(std::uint32_t value);
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool value);
  bool Background() const { return background_; }
  void SetBackground(bool value);

  // Creates and configures the device (see each component).
  virtual void Activation() = 0;
  // Releases the device and the DirectInput object.
  virtual void Deactivation() = 0;
  // Sets the cooperative level for the owner's window and acquires.
  virtual void SetFocusControl() = 0;
  // One poll on the main thread; see each component for the result.
  virtual bool CheckChange() = 0;
  // The poll the polling thread hands to the main thread.
  void CallCheckChange() { CheckChange(); }
  // How soon the polling thread polls again without new input; none: only
  // on input.
  virtual std::optional<std::chrono::milliseconds> RepeatInterval() const { return std::nullopt; }

  IDirectInputDeviceA* GetIDirectInputDevice() const { return device_.Get(); }

 protected:
  // DISCL_BACKGROUND or DISCL_FOREGROUND, with DISCL_EXCLUSIVE or
  // DISCL_NONEXCLUSIVE, from the settings.
  DWORD CooperativeFlags() const;
  // The window of the owner when it is a windowed control, else null.
  HWND OwnerWindow() const;
  // The DIPROP_BUFFERSIZE value for the device as a whole.
  static DIPROPDWORD BufferSizeProperty(DWORD size);
  // Attaches the polling thread's wake-up event (if any) to a new device,
  // and has the thread poll it once.
  void AttachWakeEvent();
  // Ends the polling thread, if any, in order (destructors call this first).
  void StopPolling();
  // What a poll the thread requested does when it throws.
  virtual void PollFailed() {}

  ComPtr<IDirectInputA> directInput_;
  ComPtr<IDirectInputDeviceA> device_;

 private:
  friend class TInputCheckLoop;
  void Rebuild();

  std::atomic<bool> active_{false};
  bool buffered_ = true;
  std::uint32_t bufferSize_ = 16;
  bool exclusive_ = true;
  bool background_ = false;
  std::shared_ptr<dinput::InputEvent> wake_;
  std::unique_ptr<TInputCheckLoop> thread_;
};

}  // namespace kv
