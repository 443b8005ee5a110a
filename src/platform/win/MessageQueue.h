// The main thread's message queue: posted messages, the quit request and the
// work other threads hand to the main thread. Any thread may post; only the
// main thread takes. Internal.
#pragma once

#include <deque>
#include <functional>
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

  void PushTask(std::function<void()> task);
  std::deque<std::function<void()>> TakeTasks();

  // Forgets everything (backend switch).
  void Clear();

 private:
  std::mutex mutex_;
  std::deque<MSG> posted_;
  std::deque<std::function<void()>> tasks_;
  std::optional<int> quit_;
};

bool MessageInRange(UINT msg, UINT filterMin, UINT filterMax);

}  // namespace kv::win::detail
