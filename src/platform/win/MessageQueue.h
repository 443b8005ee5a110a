// The main thread's message queue: posted messages and the quit request.
// Any thread may post; only the main thread takes. (Work other threads hand
// to the main thread goes through MainThread.h.) Internal.
#pragma once

#include <deque>
#include <mutex>
#include <optional>

#include "korvane3d/platform/win/WinApi.h"

namespace kv::win::detail {

class MessageQueue {
 public:
  static MessageQueue& Instance();

  void Post(const MSG& msg);
  // The first posted message for the filter; removed when remove is set.
  // filterWnd null takes any; otherwise that window and its descendants.
  std::optional<MSG> TakePosted(HWND filterWnd, UINT filterMin, UINT filterMax, bool remove);
  void RequestQuit(int exitCode);
  std::optional<int> TakeQuit(bool remove);

  bool HasPosted();

  // Forgets everything (backend switch).
  void Clear();

 private:
  std::mutex mutex_;
  std::deque<MSG> posted_;
  std::optional<int> quit_;
};

bool MessageInRange(UINT msg, UINT filterMin, UINT filterMax);
// Whether PeekMessageA would find a message for the filter (posted, quit or
// paint), without taking it, running tasks or pumping native events.
bool MessageWaiting(HWND filterWnd = nullptr, UINT filterMin = 0, UINT filterMax = 0);

}  // namespace kv::win::detail
