#include "korvane3d/platform/dinput/RecordBuffer.h"

#include <algorithm>

namespace kv::dinput {

void RecordBuffer::Resize(DWORD capacity) {
  ring_.assign(capacity, DIDEVICEOBJECTDATA{});
  Clear();
}

void RecordBuffer::Clear() {
  head_ = 0;
  count_ = 0;
  overflowed_ = false;
}

void RecordBuffer::Push(const DIDEVICEOBJECTDATA& record) {
  if (count_ == Capacity()) {
    overflowed_ = true;
    return;
  }
  ring_[(head_ + count_) % Capacity()] = record;
  ++count_;
}

RecordBuffer::Taken RecordBuffer::Take(DIDEVICEOBJECTDATA* out, DWORD max, bool peek) {
  Taken taken{std::min(max, count_), overflowed_};
  if (out) {
    for (DWORD i = 0; i < taken.count; ++i) out[i] = ring_[(head_ + i) % Capacity()];
  }
  if (!peek) {
    if (taken.count > 0) head_ = (head_ + taken.count) % Capacity();
    count_ -= taken.count;
    overflowed_ = false;
  }
  return taken;
}

}  // namespace kv::dinput
