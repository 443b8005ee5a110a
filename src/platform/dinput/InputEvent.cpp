#include "korvane3d/platform/dinput/InputEvent.h"

namespace kv::dinput {

void InputEvent::Signal() {
  {
    MutexLock lock(mutex_);
    signalled_ = true;
  }
  wake_.notify_one();
}

std::optional<InputEvent::WaitResult> InputEvent::TakeLocked() {
  if (stop_) return Stopped;
  if (!signalled_) return std::nullopt;
  signalled_ = false;
  return Input;
}

InputEvent::WaitResult InputEvent::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  MutexLock lock(mutex_);
  for (;;) {
    if (const std::optional<WaitResult> taken = TakeLocked()) return *taken;
    if (wake_.wait_until(mutex_, deadline) == std::cv_status::timeout) {
      const std::optional<WaitResult> late = TakeLocked();
      return late ? *late : Timeout;
    }
  }
}

InputEvent::WaitResult InputEvent::Wait() {
  MutexLock lock(mutex_);
  for (;;) {
    if (const std::optional<WaitResult> taken = TakeLocked()) return *taken;
    wake_.wait(mutex_);
  }
}

void InputEvent::RequestStop() {
  {
    MutexLock lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
}

void InputEvent::ClearStop() {
  MutexLock lock(mutex_);
  stop_ = false;
}

bool InputEvent::StopRequested() const {
  MutexLock lock(mutex_);
  return stop_;
}

}  // namespace kv::dinput
