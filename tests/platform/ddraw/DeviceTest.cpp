// The Direct3D side: depth formats, devices on render targets, the
// retained-mode engine's access to their memory, vertical-blank pacing and
// rendering on one thread while another presents.
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "korvane3d/platform/ddraw/RenderTarget.h"
#include "korvane3d/platform/win/Gdi.h"

#include "DDrawTestSupport.h"

using namespace kv;

namespace kvtest {
namespace {

using Devices = DisplayTest;

std::vector<DDPIXELFORMAT> DepthFormats(IDirect3D3* d3d, REFCLSID device, HRESULT* result) {
  std::vector<DDPIXELFORMAT> formats;
  *result = d3d->EnumZBufferFormats(
      device,
      [](DDPIXELFORMAT* pf, LPVOID context) -> HRESULT {
        static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(*pf);
        return D3DENUMRET_OK;
      },
      &formats);
  return formats;
}

TEST_F(Devices, SoftwareDeviceOffersDepthFormatsAndThereIsNoHardwareDevice) {
  ComPtr<IDirect3D3> d3d;
  ASSERT_EQ(dd.As(IID_IDirect3D3, d3d), S_OK);
  HRESULT hr = E_FAIL;
  std::vector<DDPIXELFORMAT> hal = DepthFormats(d3d.Get(), IID_IDirect3DHALDevice, &hr);
  EXPECT_EQ(hr, D3DERR_INVALID_DEVICE);
  EXPECT_TRUE(hal.empty());
  std::vector<DDPIXELFORMAT> rgb = DepthFormats(d3d.Get(), IID_IDirect3DRGBDevice, &hr);
  EXPECT_EQ(hr, D3D_OK);
  ASSERT_EQ(rgb.size(), 4u);
  EXPECT_EQ(rgb[0].dwZBufferBitDepth, 16u);
  EXPECT_EQ(rgb[2].dwFlags, DDPF_ZBUFFER | DDPF_STENCILBUFFER);
  // What a caller keeps when it takes the last format whose flags are
  // exactly DDPF_ZBUFFER: 32 bits. Every offered format makes a surface.
  EXPECT_EQ(rgb.back().dwFlags, DDPF_ZBUFFER);
  EXPECT_EQ(rgb.back().dwZBufferBitDepth, 32u);
  for (const DDPIXELFORMAT& pf : rgb) {
    DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT,
                               DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY, 16, 16);
    desc.ddpfPixelFormat = pf;
    ComPtr<IDirectDrawSurface4> z;
    EXPECT_EQ(dd->CreateSurface(&desc, z.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  }
  // Stopping early is honoured.
  int calls = 0;
  d3d->EnumZBufferFormats(
      IID_IDirect3DRGBDevice,
      [](DDPIXELFORMAT*, LPVOID c) -> HRESULT {
        ++*static_cast<int*>(c);
        return D3DENUMRET_CANCEL;
      },
      &calls);
  EXPECT_EQ(calls, 1);
}

TEST_F(Devices, DeviceOnABackSurfaceWithDepthReachesBothMemories) {
  ComPtr<IDirect3D3> d3d;
  ASSERT_EQ(dd.As(IID_IDirect3D3, d3d), S_OK);
  ComPtr<IDirectDrawSurface4> back = MakeOffscreen(dd.Get(), 40, 30, 16);
  ComPtr<IDirectDrawSurface4> depth = MakeDepth(dd.Get(), 40, 30, 32);
  ASSERT_EQ(back->AddAttachedSurface(depth.Get()), DD_OK);

  ComPtr<IDirect3DDevice3> device3;
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, back.Get(), device3.ReleaseAndGetAddressOf(), nullptr),
            D3DERR_INVALID_DEVICE);
  ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, back.Get(), device3.ReleaseAndGetAddressOf(), nullptr), D3D_OK);
  ComPtr<IDirect3DDevice2> device2;
  ASSERT_EQ(device3.As(IID_IDirect3DDevice2, device2), S_OK);
  ComPtr<IDirect3DDevice3> again;
  ASSERT_EQ(device2.As(IID_IDirect3DDevice3, again), S_OK);
  EXPECT_EQ(again.Get(), device3.Get());

  {
    kv::ddraw::RenderTargetLock target(device2.Get());
    ASSERT_EQ(target.Result(), DD_OK);
    EXPECT_EQ(target.Color().width, 40);
    EXPECT_EQ(target.Color().bytesPerPixel, 2);
    EXPECT_EQ(target.Color().format.dwRBitMask, 0xF800u);
    ASSERT_NE(target.Depth(), nullptr);
    EXPECT_EQ(target.Depth()->bytesPerPixel, 4);
    // Draw one pixel of each, the way the rasterizer does.
    std::uint16_t red = 0xF800;
    std::memcpy(target.Color().pixels + 2 * target.Color().pitchBytes + 3 * 2, &red, 2);
    std::uint32_t near = 0x1234;
    std::memcpy(target.Depth()->pixels + 2 * target.Depth()->pitchBytes + 3 * 4, &near, 4);
    // Presentation must wait for the drawing to end.
    ComPtr<IDirectDrawSurface4> other = MakeOffscreen(dd.Get(), 40, 30, 16);
    EXPECT_EQ(other->Blt(nullptr, back.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
  }
  EXPECT_EQ(kv::ddraw::ReadSurfacePixels(back.Get()).At(3, 2), 0xFF0000u);
  EXPECT_EQ(kv::ddraw::ReadSurfacePixels(depth.Get()).At(3, 2), 0x1234u);

  // A lost target is reported and nothing stays locked.
  kv::ddraw::MakeSurfaceLost(back.Get());
  {
    kv::ddraw::RenderTargetLock target(device3.Get());
    EXPECT_EQ(target.Result(), DDERR_SURFACELOST);
  }
  ASSERT_EQ(back->Restore(), DD_OK);
  DDSURFACEDESC2 desc = Desc(0, 0);
  EXPECT_EQ(back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  back->Unlock(nullptr);
}

TEST_F(Devices, CreateDeviceChecksItsTarget) {
  ComPtr<IDirect3D3> d3d;
  ASSERT_EQ(dd.As(IID_IDirect3D3, d3d), S_OK);
  ComPtr<IDirect3DDevice3> device;
  DDSURFACEDESC2 plainDesc = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, 8, 8);
  ComPtr<IDirectDrawSurface4> plain;
  ASSERT_EQ(dd->CreateSurface(&plainDesc, plain.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, plain.Get(), device.ReleaseAndGetAddressOf(), nullptr),
            DDERR_INVALIDCAPS);
  ComPtr<IDirectDrawSurface4> target = MakeOffscreen(dd.Get(), 8, 8);
  DDSURFACEDESC2 videoDepth = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT,
                                   DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY, 8, 8);
  videoDepth.ddpfPixelFormat = DepthFormat(16);
  ComPtr<IDirectDrawSurface4> z;
  ASSERT_EQ(dd->CreateSurface(&videoDepth, z.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  ASSERT_EQ(target->AddAttachedSurface(z.Get()), DD_OK);
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, target.Get(), device.ReleaseAndGetAddressOf(), nullptr),
            D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY);
  ComPtr<IDirectDraw4> otherDd = MakeDirectDraw4();
  ASSERT_EQ(otherDd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
  ComPtr<IDirectDrawSurface4> foreign = MakeOffscreen(otherDd.Get(), 8, 8);
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, foreign.Get(), device.ReleaseAndGetAddressOf(), nullptr),
            DDERR_DEVICEDOESNTOWNSURFACE);
  EXPECT_FALSE(device);
}

TEST_F(Devices, VerticalBlankPacesAtSixtyHertz) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  int blanks = 0;
  while (Clock::now() - start < std::chrono::milliseconds(500)) {
    ASSERT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
    ++blanks;
  }
  // About 30 in half a second, never more than the blanks there were; a
  // loaded machine may oversleep any number of them, so fewer prove nothing.
  EXPECT_LE(blanks, 32);
  EXPECT_GE(blanks, 1);
  EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGINEVENT, nullptr), DDERR_UNSUPPORTED);

  // Switched off (for benchmarks), the wait returns at once: 600 waits, ten
  // seconds of blanks, take nothing like that; a reset switches it back on.
  kv::ddraw::SetVerticalBlankWait(false);
  const auto unpaced = Clock::now();
  for (int i = 0; i < 600; ++i) ASSERT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
  EXPECT_LT(Clock::now() - unpaced, std::chrono::seconds(5));
  kv::ddraw::ResetHeadlessDisplay();
  const auto paced = Clock::now();
  for (int i = 0; i < 3; ++i) ASSERT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
  EXPECT_GE(Clock::now() - paced, std::chrono::milliseconds(30));
}

// The render loop draws into the back surface on its thread while the main
// thread presents it: neither sees a torn state, and both make progress.
TEST_F(Devices, RenderingOnOneThreadWhileAnotherPresents) {
  HWND form = MakeTopWindow(0, 0, 100, 100);
  ASSERT_EQ(dd->SetCooperativeLevel(form, DDSCL_NORMAL), DD_OK);
  DDSURFACEDESC2 desc = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
  ComPtr<IDirectDrawSurface4> primary;
  ASSERT_EQ(dd->CreateSurface(&desc, primary.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  ComPtr<IDirectDrawClipper> clipper;
  ASSERT_EQ(dd->CreateClipper(0, clipper.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  clipper->SetHWnd(0, form);
  primary->SetClipper(clipper.Get());
  ComPtr<IDirectDrawSurface4> back = MakeOffscreen(dd.Get(), 64, 64);
  ComPtr<IDirect3D3> d3d;
  ASSERT_EQ(dd.As(IID_IDirect3D3, d3d), S_OK);
  ComPtr<IDirect3DDevice3> device;
  ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, back.Get(), device.ReleaseAndGetAddressOf(), nullptr), D3D_OK);

  std::atomic<int> drawn{0};
  std::atomic<bool> stop{false};
  std::thread renderer([&] {
    while (!stop.load()) {
      {
        kv::ddraw::RenderTargetLock target(device.Get());
        if (SUCCEEDED(target.Result())) {
          const std::uint32_t value = static_cast<std::uint32_t>(drawn.load() & 0xFF);
          for (int y = 0; y < target.Color().height; ++y)
            for (int x = 0; x < target.Color().width; ++x)
              std::memcpy(target.Color().pixels + y * target.Color().pitchBytes + x * 4, &value, 4);
          ++drawn;
        }
      }
      std::this_thread::yield();  // as a render loop hands over between frames
    }
  });
  int presented = 0;
  for (int i = 0; i < 100000 && (presented < 20 || drawn.load() < 20); ++i) {
    HRESULT hr = primary->Blt(nullptr, back.Get(), nullptr, DDBLT_WAIT, nullptr);
    ASSERT_TRUE(hr == DD_OK || hr == DDERR_SURFACEBUSY) << std::hex << hr;
    if (hr == DD_OK) {
      ++presented;
      // A whole frame: every pixel of the window has one value.
      kv::ddraw::PixelImage shown = kv::ddraw::ReadWindowPixels(form);
      ASSERT_EQ(shown.At(0, 0), shown.At(63, 63));
    }
    std::this_thread::yield();
  }
  stop = true;
  renderer.join();
  EXPECT_GT(presented, 0);
  EXPECT_GT(drawn.load(), 0);
  DestroyWindow(form);
}

// A fill the device leaves undone on its target (a clear followed by no
// drawing) is done before any other access sees the pixels, and the
// device's next lock takes it over instead.
TEST_F(Devices, AFillLeftByTheDeviceIsDoneBeforeAnyoneElseSeesThePixels) {
  ComPtr<IDirect3D3> d3d;
  ASSERT_EQ(dd.As(IID_IDirect3D3, d3d), S_OK);
  ComPtr<IDirectDrawSurface4> back = MakeOffscreen(dd.Get(), 40, 30, 32);
  ComPtr<IDirect3DDevice2> device;
  {
    ComPtr<IDirect3DDevice3> device3;
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, back.Get(), device3.ReleaseAndGetAddressOf(), nullptr), D3D_OK);
    ASSERT_EQ(device3.As(IID_IDirect3DDevice2, device), S_OK);
  }
  const kv::ddraw::ColorFill fill{RECT{4, 2, 20, 10}, 0x336699};
  const auto leaveFill = [&] {
    kv::ddraw::RenderTargetLock target(device.Get());
    ASSERT_EQ(target.Result(), DD_OK);
    EXPECT_FALSE(target.TakePendingFill());
    target.LeaveFill(fill);
  };
  const auto blacken = [&] {
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  };

  // Read back: exactly the area.
  leaveFill();
  kv::ddraw::PixelImage shown = kv::ddraw::ReadSurfacePixels(back.Get());
  EXPECT_EQ(shown.At(4, 2), 0x336699u);
  EXPECT_EQ(shown.At(19, 9), 0x336699u);
  EXPECT_EQ(shown.At(3, 2), 0u);
  EXPECT_EQ(shown.At(20, 9), 0u);
  EXPECT_EQ(shown.At(4, 10), 0u);

  // Lock.
  blacken();
  leaveFill();
  DDSURFACEDESC2 desc = Desc(0, 0);
  ASSERT_EQ(back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  std::uint32_t pixel = 0;
  std::memcpy(&pixel, static_cast<std::byte*>(desc.lpSurface) + 2 * desc.lPitch + 4 * 4, 4);
  EXPECT_EQ(pixel & 0xFFFFFFu, 0x336699u);
  back->Unlock(nullptr);

  // A DC (the view's GDI events) draws over the filled pixels.
  blacken();
  leaveFill();
  HDC dc = nullptr;
  ASSERT_EQ(back->GetDC(&dc), DD_OK);
  EXPECT_EQ(GetPixel(dc, 4, 2), RGB(0x33, 0x66, 0x99));
  SetPixel(dc, 5, 2, RGB(255, 0, 0));
  back->ReleaseDC(dc);
  shown = kv::ddraw::ReadSurfacePixels(back.Get());
  EXPECT_EQ(shown.At(5, 2), 0xFF0000u);
  EXPECT_EQ(shown.At(6, 2), 0x336699u);

  // Blt from the surface, and onto part of it.
  blacken();
  leaveFill();
  ComPtr<IDirectDrawSurface4> copy = MakeOffscreen(dd.Get(), 40, 30, 32);
  ASSERT_EQ(copy->Blt(nullptr, back.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(kv::ddraw::ReadSurfacePixels(copy.Get()).At(10, 5), 0x336699u);
  blacken();
  leaveFill();
  RECT corner{4, 2, 6, 4};
  DDBLTFX green{};
  green.dwSize = sizeof(green);
  green.dwFillColor = 0x00FF00;
  ASSERT_EQ(back->Blt(&corner, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &green), DD_OK);
  shown = kv::ddraw::ReadSurfacePixels(back.Get());
  EXPECT_EQ(shown.At(4, 2), 0x00FF00u);
  EXPECT_EQ(shown.At(6, 2), 0x336699u);

  // The device's next lock takes it over: it is the device's to do now.
  blacken();
  leaveFill();
  {
    kv::ddraw::RenderTargetLock target(device.Get());
    ASSERT_EQ(target.Result(), DD_OK);
    std::optional<kv::ddraw::ColorFill> taken = target.TakePendingFill();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->area.right, 20);
    EXPECT_EQ(taken->raw, 0x336699u);
    std::uint32_t under = 0;
    std::memcpy(&under, target.Color().pixels + 2 * target.Color().pitchBytes + 4 * 4, 4);
    EXPECT_EQ(under, 0u);
    target.FillNow(kv::ddraw::ColorFill{RECT{0, 0, 2, 2}, 0x0000FF});
  }
  shown = kv::ddraw::ReadSurfacePixels(back.Get());
  EXPECT_EQ(shown.At(4, 2), 0u);
  EXPECT_EQ(shown.At(1, 1), 0x0000FFu);

  // A lost surface comes back cleared, without the fill.
  leaveFill();
  kv::ddraw::MakeSurfaceLost(back.Get());
  ASSERT_EQ(back->Restore(), DD_OK);
  EXPECT_EQ(kv::ddraw::ReadSurfacePixels(back.Get()).At(4, 2), 0u);
}

}  // namespace
}  // namespace kvtest
