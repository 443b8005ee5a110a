// A device's buffer of input records: a ring of fixed capacity that keeps
// the oldest records when full, drops the new ones and remembers that it
// overflowed until the next read that takes records out.
#pragma once

#include <vector>

#include "korvane3d/platform/dinput/DInput.h"

namespace kv::dinput {

class RecordBuffer {
 public:
  // Sets the capacity (0: unbuffered) and empties the buffer.
  void Resize(DWORD capacity);
  DWORD Capacity() const { return static_cast<DWORD>(ring_.size()); }
  DWORD Count() const { return count_; }
  void Clear();

  void Push(const DIDEVICEOBJECTDATA& record);

  struct Taken {
    DWORD count = 0;
    bool overflowed = false;
  };
  // Copies up to max of the oldest records to out (which may be null) and,
  // unless peek, removes them and forgets the overflow.
  Taken Take(DIDEVICEOBJECTDATA* out, DWORD max, bool peek);

 private:
  std::vector<DIDEVICEOBJECTDATA> ring_;
  DWORD head_ = 0;  // index of the oldest record
  DWORD count_ = 0;
  bool overflowed_ = false;
};

}  // namespace kv::dinput
