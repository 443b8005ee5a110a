// The display layer on a real display: SDL on a private X server. A Blt to
// the primary surface through a clipper reaches the view's pixels in the
// SDL window; the real display's modes are offered; full screen takes the
// window to a display mode and back.
#include <SDL.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "DDrawTestSupport.h"
#include "korvane3d/platform/ddraw/GlContext.h"
#include "support/GlRequired.h"
#include "support/XServer.h"

using namespace kv;

namespace kvtest {
namespace {

using kv::platform::BackendKind;

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// The colour SDL shows at (x, y) of the window, as 0x00RRGGBB.
std::uint32_t ShownAt(SDL_Window* window, int x, int y) {
  SDL_Surface* shown = SDL_GetWindowSurface(window);
  if (!shown || x >= shown->w || y >= shown->h) return 0xFFFFFFFF;
  Uint32 v = 0;
  SDL_LockSurface(shown);
  const auto* row = static_cast<const Uint8*>(shown->pixels) + y * shown->pitch;
  std::memcpy(&v, row + x * shown->format->BytesPerPixel, shown->format->BytesPerPixel);
  SDL_UnlockSurface(shown);
  Uint8 r, g, b;
  SDL_GetRGB(v, shown->format, &r, &g, &b);
  return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

LRESULT Default(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(wnd, msg, wp, lp); }

class SdlDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!xserver.Available()) GTEST_SKIP() << xserver.Reason();
    ASSERT_EQ(kv::platform::SelectBackend(BackendKind::Sdl), BackendKind::Sdl) << SDL_GetError();
    form = CreateWindowExA(0, "Korvane display test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 30, 320, 240, nullptr,
                           Default);
    view = CreateWindowExA(0, "", WS_CHILD | WS_VISIBLE, 10, 20, 100, 80, form, Default);
    ASSERT_TRUE(form && view);
    window = static_cast<SDL_Window*>(kv::platform::NativeWindowHandle(form));
    ASSERT_NE(window, nullptr);
    PumpUntil([] { return false; }, std::chrono::milliseconds(200));  // let the window settle
    dd = MakeDirectDraw4();
    ASSERT_TRUE(dd);
  }
  void TearDown() override {
    dd = nullptr;
    if (form) DestroyWindow(form);
    kv::platform::SelectBackend(BackendKind::Headless);
  }

  // Takes the form full screen in a 640x480 mode of the given depth; false
  // (the test skipped or failed) when that cannot be done.
  bool EnterFullScreen(DWORD bits) {
    EXPECT_EQ(dd->SetCooperativeLevel(form, DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_FPUSETUP),
              DD_OK);
    const HRESULT mode = dd->SetDisplayMode(640, 480, bits, 0, 0);
    if (mode == DDERR_INVALIDMODE) {
      [] { GTEST_SKIP() << "the X server refuses full screen"; }();
      return false;
    }
    EXPECT_EQ(mode, DD_OK);
    return mode == DD_OK && !HasFailure();
  }

  kvtest::XServer xserver;
  HWND form = nullptr, view = nullptr;
  SDL_Window* window = nullptr;
  ComPtr<IDirectDraw4> dd;
};

TEST_F(SdlDisplay, BltThroughAClipperShowsInTheViewOfTheRealWindow) {
  ASSERT_EQ(dd->SetCooperativeLevel(view, DDSCL_NORMAL), DD_OK);
  DDSURFACEDESC2 desc = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
  ComPtr<IDirectDrawSurface4> primary;
  ASSERT_EQ(dd->CreateSurface(&desc, primary.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  ComPtr<IDirectDrawClipper> clipper;
  ASSERT_EQ(dd->CreateClipper(0, clipper.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  ASSERT_EQ(clipper->SetHWnd(0, view), DD_OK);
  ASSERT_EQ(primary->SetClipper(clipper.Get()), DD_OK);
  ComPtr<IDirectDrawSurface4> back = MakeOffscreen(dd.Get(), 100, 80, 0, 0);
  ASSERT_TRUE(back);
  DDSURFACEDESC2 backDesc = Desc(0, 0);
  ASSERT_EQ(back->GetSurfaceDesc(&backDesc), DD_OK);
  ASSERT_EQ(backDesc.ddpfPixelFormat.dwRGBBitCount, 32u);  // the desktop's format
  ASSERT_EQ(ColorFill(back.Get(), 0x0020C040), DD_OK);

  RECT client;
  GetClientRect(view, &client);
  POINT topLeft{0, 0}, bottomRight{client.right, client.bottom};
  ClientToScreen(view, &topLeft);
  ClientToScreen(view, &bottomRight);
  RECT screen{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  ASSERT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
  ASSERT_EQ(primary->Blt(&screen, back.Get(), &client, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_TRUE(PumpUntil([&] { return ShownAt(window, 10 + 50, 20 + 40) == 0x20C040u; }));
  EXPECT_EQ(ShownAt(window, 10, 20), 0x20C040u);
  EXPECT_EQ(ShownAt(window, 10 + 99, 20 + 79), 0x20C040u);
  EXPECT_NE(ShownAt(window, 9, 20), 0x20C040u);
  EXPECT_NE(ShownAt(window, 10 + 100, 20), 0x20C040u);
}

TEST_F(SdlDisplay, OffersTheDisplaysModesAndTheUsualOnes) {
  std::vector<kv::ddraw::DisplayModeInfo> modes;
  dd->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, &modes, [](DDSURFACEDESC2* d, LPVOID c) -> HRESULT {
    static_cast<std::vector<kv::ddraw::DisplayModeInfo>*>(c)->push_back(
        {static_cast<int>(d->dwWidth), static_cast<int>(d->dwHeight), static_cast<int>(d->ddpfPixelFormat.dwRGBBitCount),
         static_cast<int>(d->dwRefreshRate)});
    return DDENUMRET_OK;
  });
  SDL_DisplayMode real;
  ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &real), 0);
  auto has = [&](int w, int h, int bits) {
    for (const auto& m : modes)
      if (m.width == w && m.height == h && m.bitsPerPixel == bits) return true;
    return false;
  };
  EXPECT_TRUE(has(real.w, real.h, 32));
  EXPECT_TRUE(has(real.w, real.h, 16));
  EXPECT_TRUE(has(640, 480, 16));  // the X server reports few modes
  EXPECT_TRUE(has(640, 480, 8));
}

TEST_F(SdlDisplay, FullScreenTakesTheWindowToTheModeAndFlipShowsTheBackBuffer) {
  if (!EnterFullScreen(16)) return;
  EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN);
  DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP |
                                                                   DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE |
                                                                   DDSCAPS_SYSTEMMEMORY);
  desc.dwBackBufferCount = 1;
  ComPtr<IDirectDrawSurface4> front, back;
  ASSERT_EQ(dd->CreateSurface(&desc, front.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  DDSCAPS2 caps;
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  ASSERT_EQ(front->GetAttachedSurface(&caps, back.ReleaseAndGetAddressOf()), DD_OK);
  ASSERT_EQ(ColorFill(back.Get(), 0xF800), DD_OK);
  ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_TRUE(PumpUntil([&] { return ShownAt(window, 5, 5) == 0xFF0000u; }));

  back = nullptr;
  front = nullptr;
  ASSERT_EQ(dd->SetCooperativeLevel(form, DDSCL_NORMAL), DD_OK);
  EXPECT_FALSE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN);
}

// The OpenGL device in full screen needs the exclusive window made again
// with OpenGL: it comes back full screen, and leaves full screen with it.
TEST_F(SdlDisplay, WindowMadeAgainForOpenGlStaysFullScreen) {
  // As the device does before it asks for an OpenGL window: its off-screen
  // probe keeps the GL driver loaded for the process. Without it the driver
  // goes with SDL's window, and the leak checker finds what the driver still
  // held in a module that is no longer there.
  std::string why;
  if (!kv::ddraw::GlContext::CreateOffscreen(why)) KV_SKIP_NO_GL("no OpenGL device here (" + why + ")");
  if (!EnterFullScreen(32)) return;
  ASSERT_FALSE(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL);
  SDL_DisplayMode before{};
  ASSERT_EQ(SDL_GetWindowDisplayMode(window, &before), 0);
  auto* made = static_cast<SDL_Window*>(kv::platform::OpenGlWindowHandle(form));
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(SDL_GetWindowFlags(made) & SDL_WINDOW_OPENGL);
  EXPECT_TRUE(SDL_GetWindowFlags(made) & SDL_WINDOW_FULLSCREEN);
  SDL_DisplayMode shown{};
  ASSERT_EQ(SDL_GetWindowDisplayMode(made, &shown), 0);
  EXPECT_EQ(shown.w, before.w);
  EXPECT_EQ(shown.h, before.h);

  ASSERT_EQ(dd->SetCooperativeLevel(form, DDSCL_NORMAL), DD_OK);
  EXPECT_FALSE(SDL_GetWindowFlags(made) & SDL_WINDOW_FULLSCREEN);
}

}  // namespace
}  // namespace kvtest
