// Shared pieces of the platform tests: a fresh headless backend per test and
// window procedures that log what they receive.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kvtest {

using namespace kv;

struct LoggedMessage {
  HWND wnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

// The log's storage is shared with its procedures, so a window that outlives
// the log (destroyed when the next test selects the backend) stays harmless.
class MessageLog {
 public:
  // A procedure that logs every message and answers 0.
  WindowProc Proc() {
    return [store = store_](HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
      store->push_back({wnd, msg, wParam, lParam});
      return 0;
    };
  }
  int Count(UINT msg, HWND wnd = nullptr) const {
    int n = 0;
    for (const auto& m : messages) n += (m.msg == msg && (!wnd || m.wnd == wnd)) ? 1 : 0;
    return n;
  }
  const LoggedMessage* Last(UINT msg) const {
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
      if (it->msg == msg) return &*it;
    }
    return nullptr;
  }

 private:
  std::shared_ptr<std::vector<LoggedMessage>> store_ = std::make_shared<std::vector<LoggedMessage>>();

 public:
  std::vector<LoggedMessage>& messages = *store_;
};

// Takes and dispatches every message waiting; returns how many there were.
inline int PumpAll() {
  int n = 0;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) break;
    DispatchMessageA(&msg);
    ++n;
  }
  return n;
}

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(kv::platform::SelectBackend(kv::platform::BackendKind::Headless), kv::platform::BackendKind::Headless);
    kv::platform::ClearRecordedMessageBoxes();
    kv::platform::ClearRecordedBeeps();
  }
  void TearDown() override { kv::platform::SelectBackend(kv::platform::BackendKind::Headless); }
};

}  // namespace kvtest
