// The process-wide meeting point of input sources and devices. Sources hand
// every change of the mouse or keyboard to the hub, which numbers it with the
// one sequence counter of all devices and passes it to every acquired device
// of that kind. The hub also owns the rules that involve more than one
// device: exclusive acquisition, focus loss, the held keys and buttons a
// newly acquired device starts from.
//
// Locking: the hub lock is taken before a device's own lock, never after.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "korvane3d/platform/dinput/DInput.h"
#include "korvane3d/platform/dinput/InputSource.h"

namespace kv::dinput {

class Device;

enum class DeviceKind { Mouse = 0, Keyboard = 1 };
inline constexpr int kMouseButtons = 4;

// What is held down right now, as far as the hub has seen.
struct HeldInput {
  std::array<bool, 256> keys{};
  std::array<bool, kMouseButtons> buttons{};
};

class InputHub {
 public:
  static InputHub& Instance();

  // ---- Devices (their constructors and destructors) ----
  void Register(Device* device);
  void Unregister(Device* device);
  InputSource& Source() const { return *source_.load(); }

  // ---- Input from the sources ----
  // Repeated presses of a held key or button and releases of one that is not
  // held carry no news and are ignored; so is a movement of (0, 0, 0).
  void DeliverKey(BYTE scanCode, bool down, DWORD time);
  void DeliverButton(int button, bool down, DWORD time);
  void DeliverMove(LONG dx, LONG dy, LONG dz, DWORD time);
  // Takes the input away from every acquired foreground device whose focus
  // key satisfies lost.
  void LoseFocus(const std::function<bool(std::uint32_t focusKey)>& lost);
  // A window of ours got the focus: devices that are not acquired may now
  // be, so their input events are signalled (a polling thread then tries).
  void FocusGained();
  HeldInput Held() const;
  // Headless reset: nothing held, sequence numbers start over.
  void ResetHeldAndSequence();

  // ---- Acquisition, called by devices with the hub lock held ----
  std::unique_lock<std::mutex> Lock() const { return std::unique_lock(mutex_); }
  bool ClaimExclusiveLocked(DeviceKind kind, Device* device);
  void ReleaseExclusiveLocked(DeviceKind kind, Device* device);
  const HeldInput& HeldLocked() const { return held_; }
  // After an acquisition change, with no lock held: lets the source act on
  // what changed (the pointer capture).
  void ApplyPending() { source_.load()->ApplyPending(); }

  struct AcquiredInfo {
    DeviceKind kind;
    DWORD cooperativeFlags;
    HWND window;
  };
  std::vector<AcquiredInfo> Acquired() const;

 private:
  InputHub();
  DWORD NextSequenceLocked() { return ++sequence_; }
  // Signals the input event of every device of this kind (any kind when
  // null) that is not acquired.
  void WakeUnacquiredLocked(const DeviceKind* kind);
  void UpdateMouseCaptureLocked();

  mutable std::mutex mutex_;
  std::vector<Device*> devices_;
  std::array<Device*, 2> exclusiveOwner_{};
  bool mouseCaptured_ = false;
  HeldInput held_;
  DWORD sequence_ = 0;

  // Serialises starting and stopping the source, which must not happen under
  // the hub lock: a source may call Deliver* while holding locks of its own.
  std::mutex lifecycleMutex_;
  std::size_t liveDevices_ = 0;  // guarded by lifecycleMutex_
  std::atomic<InputSource*> source_;
};

}  // namespace kv::dinput
