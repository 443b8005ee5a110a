#include "korvane3d/platform/win/MessageQueue.h"

#include <utility>

#include "korvane3d/platform/win/WindowRegistry.h"

namespace kv::win::detail {

bool MessageInRange(UINT msg, UINT filterMin, UINT filterMax) {
  if (filterMin == 0 && filterMax == 0) return true;
  return msg >= filterMin && msg <= filterMax;
}

MessageQueue& MessageQueue::Instance() {
  static MessageQueue queue;
  return queue;
}

void MessageQueue::Post(const MSG& msg) {
  std::lock_guard lock(mutex_);
  posted_.push_back(msg);
}

std::optional<MSG> MessageQueue::TakePosted(HWND filterWnd, UINT filterMin, UINT filterMax, bool remove) {
  std::lock_guard lock(mutex_);
  for (auto it = posted_.begin(); it != posted_.end(); ++it) {
    if (!MessageInRange(it->message, filterMin, filterMax)) continue;
    if (filterWnd && it->hwnd != filterWnd) {
      auto& reg = WindowRegistry::Instance();
      auto regLock = reg.Lock();
      if (!reg.IsDescendant(filterWnd, it->hwnd)) continue;
    }
    MSG msg = *it;
    if (remove) posted_.erase(it);
    return msg;
  }
  return std::nullopt;
}

void MessageQueue::RequestQuit(int exitCode) {
  std::lock_guard lock(mutex_);
  quit_ = exitCode;
}

std::optional<int> MessageQueue::TakeQuit(bool remove) {
  std::lock_guard lock(mutex_);
  std::optional<int> code = quit_;
  if (remove) quit_.reset();
  return code;
}

bool MessageQueue::HasPosted() {
  std::lock_guard lock(mutex_);
  return !posted_.empty();
}

void MessageQueue::Clear() {
  std::lock_guard lock(mutex_);
  posted_.clear();
  quit_.reset();
}

}  // namespace kv::win::detail
