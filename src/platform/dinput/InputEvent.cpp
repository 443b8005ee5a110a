#include "korvane3d/platform/dinput/InputEvent.h"

namespace kv::dinput {

void InputEvent::Signal() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  wake_.notify_one();
}

InputEvent::WaitResult InputEvent::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, timeout, [this] { return stop_ || signalled_; });
  if (stop_) return Stopped;
  if (!signalled_) return Timeout;
  signalled_ = false;
  return Input;
}

void InputEvent::RequestStop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
}

void InputEvent::ClearStop() {
  std::lock_guard lock(mutex_);
  stop_ = false;
}

bool InputEvent::StopRequested() const {
  std::lock_guard lock(mutex_);
  return stop_;
}

}  // namespace kv::dinput
