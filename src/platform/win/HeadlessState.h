// The headless screen: its size and the cursor, settable by tests before or
// after the backend is selected. Internal.
#pragma once

#include <mutex>

#include "korvane3d/platform/win/WinTypes.h"

namespace kv::win::detail {

class HeadlessScreenState {
 public:
  SIZE Size() {
    std::lock_guard lock(mutex_);
    return size_;
  }
  POINT Cursor() {
    std::lock_guard lock(mutex_);
    return cursor_;
  }
  void SetSize(SIZE size) {
    std::lock_guard lock(mutex_);
    size_ = size;
  }
  void SetCursor(POINT cursor) {
    std::lock_guard lock(mutex_);
    cursor_ = cursor;
  }

 private:
  std::mutex mutex_;
  SIZE size_{1024, 768};
  POINT cursor_;
};

HeadlessScreenState& HeadlessScreen();
void RecordBeep(DWORD frequency, DWORD duration);

}  // namespace kv::win::detail
