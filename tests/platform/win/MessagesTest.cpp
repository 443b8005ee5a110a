// Messages: the queue's order, painting, quitting and threads.
#include <atomic>
#include <chrono>
#include <thread>

#include "WinTestSupport.h"

using namespace kv;

namespace {

using kvtest::HeadlessTest;
using kvtest::MessageLog;
using kvtest::PumpAll;

class MessagesTest : public HeadlessTest {
 protected:
  HWND MakeVisibleForm(MessageLog& log) {
    HWND form = CreateWindowExA(0, "", WS_VISIBLE, 0, 0, 100, 80, nullptr, log.Proc());
    PumpAll();  // the first paint
    log.messages.clear();
    return form;
  }
};

TEST_F(MessagesTest, InvalidationGivesOneWmPaintAfterPostedMessages) {
  MessageLog log;
  HWND form = MakeVisibleForm(log);
  RECT a{0, 0, 10, 10}, b{50, 40, 60, 50};
  InvalidateRect(form, &a, FALSE);
  InvalidateRect(form, &b, TRUE);
  PostMessageA(form, WM_USER + 1, 7, 8);

  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1) << "posted messages come before painting";
  EXPECT_EQ(msg.wParam, 7u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_PAINT);
  EXPECT_EQ(msg.hwnd, form);
  RECT update;
  ASSERT_TRUE(GetUpdateRect(form, &update, FALSE));
  EXPECT_EQ(update, (RECT{0, 0, 60, 50}));

  PAINTSTRUCT ps;
  ASSERT_NE(BeginPaint(form, &ps), nullptr);
  EXPECT_EQ(ps.rcPaint, (RECT{0, 0, 60, 50}));
  EXPECT_TRUE(ps.fErase);
  EXPECT_FALSE(GetUpdateRect(form, &update, FALSE)) << "BeginPaint validates";
  EndPaint(form, &ps);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "one WM_PAINT per invalidation";
}

TEST_F(MessagesTest, InvalidationIsClippedToTheClientArea) {
  MessageLog log;
  HWND form = MakeVisibleForm(log);
  RECT outside{200, 200, 300, 300};
  InvalidateRect(form, &outside, FALSE);
  EXPECT_FALSE(GetUpdateRect(form, nullptr, FALSE));
  RECT partly{90, 70, 300, 300};
  InvalidateRect(form, &partly, FALSE);
  RECT update;
  ASSERT_TRUE(GetUpdateRect(form, &update, FALSE));
  EXPECT_EQ(update, (RECT{90, 70, 100, 80}));
}

TEST_F(MessagesTest, IgnoredPaintDoesNotComeBackForever) {
  MessageLog log;
  HWND form = MakeVisibleForm(log);
  InvalidateRect(form, nullptr, FALSE);
  EXPECT_EQ(PumpAll(), 1);
  EXPECT_EQ(log.Count(WM_PAINT), 1);
  EXPECT_FALSE(GetUpdateRect(form, nullptr, FALSE));
}

TEST_F(MessagesTest, HiddenWindowsAreNotPainted) {
  MessageLog log;
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 100, 80, nullptr, log.Proc());
  InvalidateRect(form, nullptr, FALSE);
  EXPECT_EQ(PumpAll(), 0);
  ShowWindow(form, SW_SHOW);
  EXPECT_EQ(PumpAll(), 1);
  EXPECT_EQ(log.Count(WM_PAINT), 1);
}

TEST_F(MessagesTest, ValidateRectRemovesCoveredBands) {
  MessageLog log;
  HWND form = MakeVisibleForm(log);
  InvalidateRect(form, nullptr, FALSE);
  RECT top{0, 0, 100, 30};
  ValidateRect(form, &top);
  RECT update;
  ASSERT_TRUE(GetUpdateRect(form, &update, FALSE));
  EXPECT_EQ(update, (RECT{0, 30, 100, 80}));
  RECT middle{10, 10, 20, 20};
  ValidateRect(form, &middle);  // would leave a hole: the region stays
  ASSERT_TRUE(GetUpdateRect(form, &update, FALSE));
  ValidateRect(form, nullptr);
  EXPECT_FALSE(GetUpdateRect(form, &update, FALSE));
}

TEST_F(MessagesTest, SizingARepaints) {
  MessageLog log;
  HWND form = MakeVisibleForm(log);
  SetWindowPos(form, HWND_TOP, 0, 0, 120, 90, SWP_NOMOVE | SWP_NOZORDER);
  PumpAll();
  EXPECT_EQ(log.Count(WM_SIZE), 1);
  EXPECT_EQ(log.Count(WM_PAINT), 1);
}

TEST_F(MessagesTest, FiltersSelectByWindowAndRange) {
  MessageLog log;
  HWND form = MakeVisibleForm(log);
  HWND child = CreateWindowExA(0, "", WS_CHILD, 0, 0, 10, 10, form, log.Proc());
  HWND other = CreateWindowExA(0, "", 0, 0, 0, 10, 10, nullptr, log.Proc());
  PostMessageA(other, WM_USER, 0, 0);
  PostMessageA(child, WM_USER + 5, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, form, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.hwnd, child) << "a window's filter takes its children's messages";
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER + 1, WM_USER + 4, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 5, WM_USER + 5, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, other);
  EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(0x42), WM_USER, 0, 0));
}

TEST_F(MessagesTest, QuitEndsGetMessageAfterWaitingMessages) {
  PostMessageA(nullptr, WM_USER, 0, 0);
  PostQuitMessage(3);
  MSG msg;
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, WM_USER);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(MessagesTest, PostFromAnotherThreadWakesGetMessage) {
  MessageLog log;
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 10, 10, nullptr, log.Proc());
  std::thread poster([form] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    PostMessageA(form, WM_USER + 2, 11, 22);
  });
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);  // blocks until the post
  poster.join();
  EXPECT_EQ(msg.hwnd, form);
  EXPECT_EQ(msg.message, WM_USER + 2);
  DispatchMessageA(&msg);
  ASSERT_NE(log.Last(WM_USER + 2), nullptr);
  EXPECT_EQ(log.Last(WM_USER + 2)->lParam, 22);
}

TEST_F(MessagesTest, OtherThreadsReachWindowsThroughTheMainThread) {
  std::thread::id ranOn;
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 10, 10, nullptr, [&](HWND, UINT msg, WPARAM w, LPARAM) -> LRESULT {
    if (msg == WM_USER) {
      ranOn = std::this_thread::get_id();
      return static_cast<LRESULT>(w * 2);
    }
    return 0;
  });
  std::atomic<LRESULT> answer{0};
  std::atomic<bool> sized{false};
  std::thread worker([&] {
    EXPECT_FALSE(kv::platform::IsMainThread());
    answer = SendMessageA(form, WM_USER, 21, 0);
    sized = SetWindowPos(form, HWND_TOP, 0, 0, 33, 44, SWP_NOMOVE | SWP_NOZORDER) != FALSE;
    PostQuitMessage(0);
  });
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  worker.join();
  EXPECT_EQ(answer.load(), 42);
  EXPECT_EQ(ranOn, std::this_thread::get_id()) << "procedures run on the main thread";
  EXPECT_TRUE(sized.load());
  RECT r;
  GetClientRect(form, &r);
  EXPECT_EQ(r.right, 33);
}

TEST_F(MessagesTest, OffMainThreadPeekFindsNothing) {
  PostMessageA(nullptr, WM_USER, 0, 0);
  std::thread other([] {
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1);
  });
  other.join();
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessagesTest, DefWindowProcPaintsAndCloses) {
  HWND form = CreateWindowExA(0, "", WS_VISIBLE, 0, 0, 10, 10, nullptr, DefWindowProcA);
  EXPECT_EQ(PumpAll(), 1);
  PostMessageA(form, WM_CLOSE, 0, 0);
  PumpAll();
  EXPECT_FALSE(IsWindow(form));
}

}  // namespace
