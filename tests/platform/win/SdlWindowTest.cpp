// Real windows through SDL on a private X server: sizing and painting
// messages, mouse input to a child, and pixels that reach the window.
#include <SDL.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "WinTestSupport.h"
#include "korvane3d/platform/win/Gdi.h"
#include "support/XServer.h"

using namespace kv;

namespace {

using kv::platform::BackendKind;
using kvtest::MessageLog;

// Dispatches messages until done() holds or five seconds pass.
bool PumpUntil(const std::function<bool()>& done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

class SdlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!xserver.Available()) GTEST_SKIP() << xserver.Reason();
    ASSERT_EQ(kv::platform::SelectBackend(BackendKind::Sdl), BackendKind::Sdl) << SDL_GetError();
  }
  // SDL lets go of the X server before it stops.
  void TearDown() override { kv::platform::SelectBackend(BackendKind::Headless); }

  kvtest::XServer xserver;
};

TEST_F(SdlWindowTest, ResizeBringsSizeAndPaintAndPresentedPixelsReachTheWindow) {
  MessageLog formLog, viewLog;
  HWND form = CreateWindowExA(0, "Korvane test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 30, 320, 240, nullptr,
                              formLog.Proc());
  HWND view = CreateWindowExA(0, "", WS_CHILD | WS_VISIBLE, 10, 20, 100, 80, form, viewLog.Proc());
  ASSERT_TRUE(form && view);
  auto* window = static_cast<SDL_Window*>(kv::platform::NativeWindowHandle(form));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(kv::platform::NativeWindowHandle(view), window) << "a child lives inside its form's SDL window";
  ASSERT_TRUE(PumpUntil([&] { return formLog.Count(WM_PAINT) > 0 && viewLog.Count(WM_PAINT) > 0; }));

  formLog.messages.clear();
  ASSERT_TRUE(SetWindowPos(form, HWND_TOP, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER));
  ASSERT_TRUE(PumpUntil([&] {
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    return w == 400 && h == 300 && formLog.Count(WM_PAINT) > 0;
  }));
  const auto* size = formLog.Last(WM_SIZE);
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(LOWORD(size->lParam), 400);
  EXPECT_EQ(HIWORD(size->lParam), 300);
  RECT client;
  GetClientRect(form, &client);
  EXPECT_EQ(client, (RECT{0, 0, 400, 300}));

  kv::platform::WindowPixels px;
  ASSERT_TRUE(kv::platform::LockWindowPixels(view, &px));
  ASSERT_EQ(px.width, 400);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) px.pixels[(px.clientOrigin.y + y) * px.pitchPixels + px.clientOrigin.x + x] = 0xFF8000;
  kv::platform::UnlockWindowPixels(view);
  kv::platform::PresentWindowPixels(view);

  SDL_Surface* shown = SDL_GetWindowSurface(window);
  ASSERT_NE(shown, nullptr);
  auto pixelAt = [&](int x, int y) {
    Uint32 v = 0;
    SDL_LockSurface(shown);
    const auto* row = static_cast<const Uint8*>(shown->pixels) + y * shown->pitch;
    std::memcpy(&v, row + x * shown->format->BytesPerPixel, shown->format->BytesPerPixel);
    SDL_UnlockSurface(shown);
    Uint8 r, g, b;
    SDL_GetRGB(v, shown->format, &r, &g, &b);
    return RGB(r, g, b);
  };
  EXPECT_EQ(pixelAt(10 + 50, 20 + 40), RGB(0xFF, 0x80, 0x00));
  EXPECT_EQ(pixelAt(5, 5), RGB(0, 0, 0));
}

TEST_F(SdlWindowTest, MouseEventsGoToTheChildUnderTheMouseInItsCoordinates) {
  MessageLog formLog, viewLog;
  HWND form = CreateWindowExA(0, "mouse", WS_VISIBLE, 0, 0, 200, 150, nullptr, formLog.Proc());
  HWND view = CreateWindowExA(0, "", WS_CHILD | WS_VISIBLE, 50, 40, 100, 80, form, viewLog.Proc());
  ASSERT_NE(view, nullptr);
  auto* window = static_cast<SDL_Window*>(kv::platform::NativeWindowHandle(form));
  ASSERT_NE(window, nullptr);
  PumpUntil([&] { return viewLog.Count(WM_PAINT) > 0; });

  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.windowID = SDL_GetWindowID(window);
  e.button.button = SDL_BUTTON_LEFT;
  e.button.state = SDL_PRESSED;
  e.button.x = 60;
  e.button.y = 45;
  SDL_PushEvent(&e);
  e.type = SDL_MOUSEBUTTONUP;  // a held button keeps sending to the child
  e.button.state = SDL_RELEASED;
  e.button.x = 5;
  e.button.y = 5;
  SDL_PushEvent(&e);
  e.type = SDL_MOUSEBUTTONDOWN;  // outside the child: the form
  e.button.state = SDL_PRESSED;
  e.button.button = SDL_BUTTON_RIGHT;
  SDL_PushEvent(&e);
  ASSERT_TRUE(PumpUntil([&] { return viewLog.Count(WM_LBUTTONDOWN) > 0 && formLog.Count(WM_RBUTTONDOWN) > 0; }));
  const auto* down = viewLog.Last(WM_LBUTTONDOWN);
  EXPECT_EQ(LOWORD(down->lParam), 10);
  EXPECT_EQ(HIWORD(down->lParam), 5);
  const auto* up = viewLog.Last(WM_LBUTTONUP);
  ASSERT_NE(up, nullptr);
  EXPECT_EQ(static_cast<std::int16_t>(LOWORD(up->lParam)), -45) << "captured: relative to the child, may be negative";
  EXPECT_EQ(GetFocus(), form) << "a click gives the window the focus";
}

TEST_F(SdlWindowTest, ListenersSeeEventsAndPostsFromOtherThreadsWakeTheLoop) {
  HWND form = CreateWindowExA(0, "wake", WS_VISIBLE, 0, 0, 50, 50, nullptr, DefWindowProcA);
  int seen = 0;
  int id = kv::platform::AddSdlEventListener([&](const void*) { ++seen; });
  std::thread poster([form] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PostMessageA(form, WM_USER + 9, 0, 0);
  });
  MSG msg;
  bool got = false;
  while (!got && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    got = msg.message == WM_USER + 9;
    DispatchMessageA(&msg);
  }
  poster.join();
  EXPECT_TRUE(got);
  EXPECT_GT(seen, 0) << "creating and showing a window makes SDL events";
  kv::platform::RemoveSdlEventListener(id);
}

}  // namespace

namespace {

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value, 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SdlFallbackTest, WithoutAReachableDisplaySdlFallsBackToHeadless) {
  ScopedEnv driver("SDL_VIDEODRIVER", "x11");
  ScopedEnv display("DISPLAY", ":32767");
  EXPECT_EQ(kv::platform::SelectBackend(BackendKind::Sdl), BackendKind::Headless);
  HWND form = CreateWindowExA(0, "", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr);
  EXPECT_TRUE(IsWindow(form)) << "and the headless backend works";
  EXPECT_EQ(kv::platform::NativeWindowHandle(form), nullptr);
}

}  // namespace
