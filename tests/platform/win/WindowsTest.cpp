// Windows: creation and destruction order, rectangles through nested
// children, moving and sizing, reparenting and dead handles.
#include <algorithm>
#include <vector>

#include "WinTestSupport.h"
#include "support/BoundedRun.h"

using namespace kv;

namespace {

using kvtest::HeadlessTest;
using kvtest::MessageLog;

class WindowsTest : public HeadlessTest {};

TEST_F(WindowsTest, CreateSendsCreateThenSizeAndMoveBeforeReturning) {
  MessageLog log;
  HWND form = CreateWindowExA(0, "Form1", WS_OVERLAPPEDWINDOW, 10, 20, 300, 200, nullptr, log.Proc());
  ASSERT_NE(form, nullptr);
  ASSERT_GE(log.messages.size(), 3u);
  EXPECT_EQ(log.messages[0].msg, WM_CREATE);
  const auto* size = log.Last(WM_SIZE);
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(LOWORD(size->lParam), 300);
  EXPECT_EQ(HIWORD(size->lParam), 200);
  EXPECT_EQ(GetWindowTextA(form), "Form1");
  EXPECT_FALSE(IsWindowVisible(form));
}

TEST_F(WindowsTest, CreateAnsweredWithMinusOneFails) {
  bool destroyed = false;
  HWND wnd = CreateWindowExA(0, "", 0, 0, 0, 10, 10, nullptr, [&](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
    if (msg == WM_DESTROY) destroyed = true;
    return msg == WM_CREATE ? -1 : 0;
  });
  EXPECT_EQ(wnd, nullptr);
  EXPECT_TRUE(destroyed);
}

TEST_F(WindowsTest, ChildNeedsLiveParent) {
  EXPECT_EQ(CreateWindowExA(0, "", WS_CHILD, 0, 0, 10, 10, nullptr, nullptr), nullptr);
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 100, 100, nullptr, nullptr);
  DestroyWindow(form);
  EXPECT_EQ(CreateWindowExA(0, "", WS_CHILD, 0, 0, 10, 10, form, nullptr), nullptr);
}

TEST_F(WindowsTest, RectanglesAndConversionsThroughNestedChildren) {
  HWND form = CreateWindowExA(0, "", 0, 100, 50, 400, 300, nullptr, nullptr);
  HWND panel = CreateWindowExA(0, "", WS_CHILD | WS_VISIBLE, 20, 30, 200, 150, form, nullptr);
  HWND view = CreateWindowExA(0, "", WS_CHILD | WS_VISIBLE, 5, 7, 64, 48, panel, nullptr);
  ASSERT_TRUE(view);

  RECT client;
  ASSERT_TRUE(GetClientRect(view, &client));
  EXPECT_EQ(client, (RECT{0, 0, 64, 48}));
  RECT onScreen;
  ASSERT_TRUE(GetWindowRect(view, &onScreen));
  EXPECT_EQ(onScreen, (RECT{125, 87, 189, 135}));

  POINT p{1, 2};
  ASSERT_TRUE(ClientToScreen(view, &p));
  EXPECT_EQ(p, (POINT{126, 89}));
  ASSERT_TRUE(ScreenToClient(panel, &p));
  EXPECT_EQ(p, (POINT{6, 9}));
  EXPECT_EQ(GetParent(view), panel);
  EXPECT_EQ(GetParent(panel), form);
}

// Every window inside the form, parents before their children; FALSE
// stops the walk, and a window the callback destroys is not visited.
TEST_F(WindowsTest, EnumChildWindowsWalksTheWholeTree) {
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 400, 300, nullptr, nullptr);
  HWND panel = CreateWindowExA(0, "", WS_CHILD, 0, 0, 200, 150, form, nullptr);
  HWND view = CreateWindowExA(0, "", WS_CHILD, 0, 0, 64, 48, panel, nullptr);
  HWND button = CreateWindowExA(0, "", WS_CHILD, 0, 0, 20, 10, form, nullptr);
  ASSERT_TRUE(button);
  struct Walk {
    std::vector<HWND> seen;
    std::size_t stopAfter = 100;
    HWND destroyOnVisit = nullptr, victim = nullptr;
  } walk;
  auto proc = [](HWND wnd, LPARAM data) -> BOOL {
    auto& w = *reinterpret_cast<Walk*>(data);
    w.seen.push_back(wnd);
    if (wnd == w.destroyOnVisit) DestroyWindow(w.victim);
    return w.seen.size() < w.stopAfter;
  };
  EXPECT_TRUE(EnumChildWindows(form, proc, reinterpret_cast<LPARAM>(&walk)));
  EXPECT_EQ(walk.seen, (std::vector<HWND>{panel, view, button}));
  walk = Walk{{}, 2};
  EnumChildWindows(form, proc, reinterpret_cast<LPARAM>(&walk));
  EXPECT_EQ(walk.seen, (std::vector<HWND>{panel, view}));
  walk = Walk{{}, 100, view, button};
  EnumChildWindows(form, proc, reinterpret_cast<LPARAM>(&walk));
  EXPECT_EQ(walk.seen, (std::vector<HWND>{panel, view}));
  EXPECT_FALSE(EnumChildWindows(button, proc, 0));  // destroyed
}

TEST_F(WindowsTest, SetWindowPosSendsSizeWithNewClientSizeOnlyWhenSizeChanges) {
  MessageLog log;
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 100, 100, nullptr, nullptr);
  HWND view = CreateWindowExA(0, "", WS_CHILD, 0, 0, 50, 50, form, log.Proc());
  log.messages.clear();

  ASSERT_TRUE(SetWindowPos(view, HWND_TOP, 0, 0, 320, 240, SWP_NOMOVE | SWP_NOZORDER));
  ASSERT_EQ(log.Count(WM_SIZE), 1);
  EXPECT_EQ(log.Last(WM_SIZE)->wParam, SIZE_RESTORED);
  EXPECT_EQ(LOWORD(log.Last(WM_SIZE)->lParam), 320);
  EXPECT_EQ(HIWORD(log.Last(WM_SIZE)->lParam), 240);
  RECT client;
  GetClientRect(view, &client);
  EXPECT_EQ(client, (RECT{0, 0, 320, 240}));

  log.messages.clear();
  ASSERT_TRUE(SetWindowPos(view, HWND_TOP, 7, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
  EXPECT_EQ(log.Count(WM_SIZE), 0);
  EXPECT_EQ(log.Count(WM_MOVE), 1);
  GetClientRect(view, &client);
  EXPECT_EQ(client, (RECT{0, 0, 320, 240}));

  log.messages.clear();
  ASSERT_TRUE(MoveWindow(view, 7, 9, -5, 10, TRUE));  // a negative size is empty
  EXPECT_EQ(HIWORD(log.Last(WM_SIZE)->lParam), 10);
  GetClientRect(view, &client);
  EXPECT_EQ(client, (RECT{0, 0, 0, 10}));
}

TEST_F(WindowsTest, TopLevelResizeResizesItsFramebuffer) {
  HWND form = CreateWindowExA(0, "", WS_VISIBLE, 0, 0, 40, 30, nullptr, nullptr);
  kv::platform::WindowPixels px;
  ASSERT_TRUE(kv::platform::LockWindowPixels(form, &px));
  px.pixels[0] = 0x123456;
  kv::platform::UnlockWindowPixels(form);
  SetWindowPos(form, HWND_TOPMOST, 0, 0, 80, 60, SWP_NOMOVE);
  ASSERT_TRUE(kv::platform::LockWindowPixels(form, &px));
  EXPECT_EQ(px.width, 80);
  EXPECT_EQ(px.height, 60);
  EXPECT_EQ(px.pixels[0], 0x123456u) << "what overlaps survives a resize";
  kv::platform::UnlockWindowPixels(form);
}

TEST_F(WindowsTest, DestroyGoesChildrenFirstAndKillsEveryHandle) {
  std::vector<std::pair<HWND, UINT>> order;
  auto proc = [&](HWND wnd, UINT msg, WPARAM, LPARAM) -> LRESULT {
    if (msg == WM_CREATE || msg == WM_DESTROY) order.emplace_back(wnd, msg);
    return 0;
  };
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 100, 100, nullptr, proc);
  HWND panel = CreateWindowExA(0, "", WS_CHILD, 0, 0, 50, 50, form, proc);
  HWND view = CreateWindowExA(0, "", WS_CHILD, 0, 0, 10, 10, panel, proc);
  HWND button = CreateWindowExA(0, "", WS_CHILD, 0, 0, 10, 10, form, proc);
  order.clear();

  ASSERT_TRUE(DestroyWindow(form));
  std::vector<HWND> destroyed;
  for (auto& [wnd, msg] : order) destroyed.push_back(wnd);
  ASSERT_EQ(destroyed.size(), 4u);
  EXPECT_EQ(destroyed.back(), form);
  auto at = [&](HWND w) { return std::find(destroyed.begin(), destroyed.end(), w) - destroyed.begin(); };
  EXPECT_LT(at(view), at(panel));
  for (HWND w : {form, panel, view, button}) EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(DestroyWindow(form));
  RECT r;
  EXPECT_FALSE(GetClientRect(view, &r));
  EXPECT_FALSE(SetWindowPos(view, HWND_TOP, 0, 0, 1, 1, 0));
  EXPECT_EQ(SendMessageA(view, WM_USER, 0, 0), 0);
}

TEST_F(WindowsTest, ProcedureMayDestroyItsOwnWindowWhileRunning) {
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 10, 10, nullptr, [](HWND wnd, UINT msg, WPARAM, LPARAM) -> LRESULT {
    if (msg == WM_CLOSE) DestroyWindow(wnd);
    return 0;
  });
  SendMessageA(form, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(form));
}

TEST_F(WindowsTest, SetParentMovesWindowsBetweenTopLevelAndChild) {
  HWND form = CreateWindowExA(0, "", 0, 100, 100, 200, 200, nullptr, nullptr);
  HWND loose = CreateWindowExA(0, "", 0, 10, 10, 30, 30, nullptr, nullptr);
  EXPECT_EQ(SetParent(loose, form), nullptr);
  EXPECT_EQ(GetParent(loose), form);
  POINT p{0, 0};
  ClientToScreen(loose, &p);
  EXPECT_EQ(p, (POINT{110, 110}));
  kv::platform::WindowPixels px;
  ASSERT_TRUE(kv::platform::LockWindowPixels(loose, &px));
  EXPECT_EQ(px.width, 200) << "a child draws into its top-level window's pixels";
  EXPECT_EQ(px.clientOrigin, (POINT{10, 10}));

  EXPECT_EQ(SetParent(form, loose), nullptr) << "a window cannot go under its own child";
  EXPECT_EQ(SetParent(loose, nullptr), form);
  ASSERT_TRUE(kv::platform::LockWindowPixels(loose, &px));
  EXPECT_EQ(px.width, 30);
}

TEST_F(WindowsTest, VisibilityFollowsAncestorsAndShowWindowReportsPreviousState) {
  MessageLog log;
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 100, 100, nullptr, nullptr);
  HWND view = CreateWindowExA(0, "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, form, log.Proc());
  EXPECT_FALSE(IsWindowVisible(view));
  EXPECT_FALSE(ShowWindow(form, SW_SHOW));
  EXPECT_TRUE(IsWindowVisible(view));
  EXPECT_TRUE(ShowWindow(view, SW_HIDE));
  EXPECT_EQ(log.Count(WM_SHOWWINDOW), 1);
  EXPECT_FALSE(IsWindowVisible(view));
}

TEST_F(WindowsTest, FocusMovesWithKillAndSetMessages) {
  MessageLog log;
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 100, 100, nullptr, log.Proc());
  HWND view = CreateWindowExA(0, "", WS_CHILD, 0, 0, 10, 10, form, log.Proc());
  SetFocus(form);
  log.messages.clear();
  EXPECT_EQ(SetFocus(view), form);
  ASSERT_EQ(log.messages.size(), 2u);
  EXPECT_EQ(log.messages[0].msg, WM_KILLFOCUS);
  EXPECT_EQ(log.messages[0].wnd, form);
  EXPECT_EQ(log.messages[1].msg, WM_SETFOCUS);
  EXPECT_EQ(GetFocus(), view);
  DestroyWindow(view);
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowsTest, SelectingAgainDestroysEveryWindow) {
  MessageLog log;
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 100, 100, nullptr, log.Proc());
  kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
  EXPECT_FALSE(IsWindow(form));
  EXPECT_EQ(log.Count(WM_DESTROY), 1);
}

TEST_F(WindowsTest, NullArgumentsFailCleanly) {
  HWND form = CreateWindowExA(0, nullptr, 0, 0, 0, 10, 10, nullptr, nullptr);
  EXPECT_EQ(GetWindowTextA(form), "");
  EXPECT_FALSE(GetClientRect(form, nullptr));
  EXPECT_FALSE(GetWindowRect(nullptr, nullptr));
  EXPECT_FALSE(ClientToScreen(form, nullptr));
  EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(0x1234)));
  EXPECT_TRUE(SetWindowTextA(form, nullptr));
  EXPECT_EQ(SendMessageA(nullptr, WM_USER, 0, 0), 0);
}

TEST_F(WindowsTest, NoWindowIsLargerOrFurtherOutThanTheLimits) {
  // Each row in a child process, bounded in time and memory: a top-level
  // window holds a framebuffer of its size, so an unbounded one took
  // gigabytes or ended the process.
  struct Row {
    const char* what;
    int x, y, width, height;
    RECT expected;
  };
  const Row rows[] = {
      {"100000 x 100000", 0, 0, 100000, 100000, {0, 0, kMaxWindowSide, kMaxWindowSide / 4}},
      {"2e9 x 2e9", 0, 0, 2000000000, 2000000000, {0, 0, kMaxWindowSide, kMaxWindowSide / 4}},
      {"40000 x 40000", 0, 0, 40000, 40000, {0, 0, kMaxWindowSide, kMaxWindowSide / 4}},
      {"a narrow one, too tall", 0, 0, 1024, 1 << 20, {0, 0, 1024, kMaxWindowSide}},
      {"the largest", 0, 0, kMaxWindowSide, kMaxWindowSide / 4, {0, 0, kMaxWindowSide, kMaxWindowSide / 4}},
      // Not INT_MIN: that is CW_USEDEFAULT.
      {"placed at the ends of int", 2147483647, -2147483647, 100, 50, {32767, -32768, 32867, -32718}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const kvtest::BoundedOutcome outcome = kvtest::RunBounded(
        [&] {
          // Made at the size asked, and sized to it again from a small one.
          HWND made = CreateWindowExA(0, "", 0, row.x, row.y, row.width, row.height, nullptr, nullptr);
          HWND sized = CreateWindowExA(0, "", 0, 0, 0, 10, 10, nullptr, nullptr);
          if (made == nullptr || sized == nullptr) return 1;
          SetWindowPos(sized, nullptr, row.x, row.y, row.width, row.height, SWP_NOZORDER);
          RECT a{}, b{};
          GetWindowRect(made, &a);
          GetWindowRect(sized, &b);
          return a == row.expected && b == row.expected ? 0 : 2;
        },
        30);
    ASSERT_TRUE(outcome.finished) << outcome.Describe();
    EXPECT_EQ(outcome.result, 0) << outcome.Describe();
    EXPECT_LT(outcome.seconds, 10 * kvtest::kTimeBoundScale) << outcome.Describe();
    // Two framebuffers at most.
    EXPECT_LT(outcome.peakGrowthKb / 1024, (2 * 256 + 64) * kvtest::kMemoryBoundScale) << outcome.Describe();
  }
}

}  // namespace
