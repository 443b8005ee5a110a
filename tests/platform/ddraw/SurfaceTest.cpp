// Creating surfaces, their descriptions and attachments, pixel access,
// device contexts, and lost surfaces.
#include "korvane3d/platform/win/Gdi.h"

#include "DDrawTestSupport.h"

using namespace kv;

namespace kvtest {
namespace {

using Surfaces = DisplayTest;

// The program in full screen at 640x480x16, the way a view goes there.
class FullScreenSurfaces : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    form = MakeTopWindow(0, 0, 320, 240);
    ASSERT_EQ(dd->SetCooperativeLevel(form, DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_FPUSETUP),
              DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP |
                                                                     DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE |
                                                                     DDSCAPS_SYSTEMMEMORY);
    desc.dwBackBufferCount = 1;
    ASSERT_EQ(dd->CreateSurface(&desc, front.ReleaseAndGetAddressOf(), nullptr), DD_OK);
    DDSCAPS2 caps;
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    ASSERT_EQ(front->GetAttachedSurface(&caps, back.ReleaseAndGetAddressOf()), DD_OK);
  }
  void TearDown() override {
    back = nullptr;
    front = nullptr;
    DisplayTest::TearDown();
    DestroyWindow(form);
  }
  HWND form = nullptr;
  ComPtr<IDirectDrawSurface4> front, back;
};

TEST_F(Surfaces, WindowedPrimaryAndBackSurfaceTakeTheDesktopFormat) {
  DDSURFACEDESC2 desc = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
  desc.dwSize = kWindowsDDSurfaceDesc2Size;  // what code written for Windows sets
  ComPtr<IDirectDrawSurface4> primary;
  ASSERT_EQ(dd->CreateSurface(&desc, primary.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  ComPtr<IDirectDrawSurface4> second;
  EXPECT_EQ(dd->CreateSurface(&desc, second.ReleaseAndGetAddressOf(), nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
  EXPECT_FALSE(second);

  DDSURFACEDESC2 got = Desc(0, 0);
  ASSERT_EQ(primary->GetSurfaceDesc(&got), DD_OK);
  EXPECT_EQ(got.dwWidth, 1024u);
  EXPECT_EQ(got.dwHeight, 768u);
  EXPECT_EQ(got.ddpfPixelFormat.dwRGBBitCount, 32u);
  EXPECT_TRUE(got.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE);

  ComPtr<IDirectDrawSurface4> backSurface = MakeOffscreen(dd.Get(), 200, 100, 0, 0);
  ASSERT_EQ(backSurface->GetSurfaceDesc(&got), DD_OK);
  EXPECT_EQ(got.dwWidth, 200u);
  EXPECT_EQ(got.ddpfPixelFormat.dwRGBBitCount, 32u);
  EXPECT_GE(got.lPitch, 800);
  EXPECT_EQ(got.lPitch % 4, 0);
  EXPECT_EQ(got.ddsCaps.dwCaps & (DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE),
            DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
  EXPECT_TRUE(got.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY);  // no memory asked: video memory

  // Releasing the primary allows a new one.
  primary = nullptr;
  EXPECT_EQ(dd->CreateSurface(&desc, primary.ReleaseAndGetAddressOf(), nullptr), DD_OK);
}

TEST_F(Surfaces, CreationRefusesBadDescriptionsAndLeavesNothingBehind) {
  ComPtr<IDirectDraw4> fresh = MakeDirectDraw4();
  DDSURFACEDESC2 offscreen = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, 64, 64);
  ComPtr<IDirectDrawSurface4> s;
  EXPECT_EQ(fresh->CreateSurface(&offscreen, s.ReleaseAndGetAddressOf(), nullptr), DDERR_NOCOOPERATIVELEVELSET);

  struct Case {
    DDSURFACEDESC2 desc;
    HRESULT expected;
  };
  DDSURFACEDESC2 badSize = offscreen;
  badSize.dwSize = 100;
  DDSURFACEDESC2 noHeight = Desc(DDSD_CAPS | DDSD_WIDTH, DDSCAPS_OFFSCREENPLAIN, 64);
  DDSURFACEDESC2 zeroWidth = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, 0, 64);
  DDSURFACEDESC2 huge = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, 100000, 64);
  DDSURFACEDESC2 tooManyBytes = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, 16384, 16384);
  DDSURFACEDESC2 bothMemories = offscreen;
  bothMemories.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY;
  DDSURFACEDESC2 texture = offscreen;
  texture.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
  DDSURFACEDESC2 fiveFiveFive = offscreen;
  fiveFiveFive.dwFlags |= DDSD_PIXELFORMAT;
  fiveFiveFive.ddpfPixelFormat = RgbFormat(16);
  fiveFiveFive.ddpfPixelFormat.dwRBitMask = 0x7C00;
  DDSURFACEDESC2 depthWithoutFormat = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_ZBUFFER, 64, 64);
  DDSURFACEDESC2 depth12 = depthWithoutFormat;
  depth12.dwFlags |= DDSD_PIXELFORMAT;
  depth12.ddpfPixelFormat = DepthFormat(16);
  depth12.ddpfPixelFormat.dwZBufferBitDepth = 12;
  DDSURFACEDESC2 flipWindowed = Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                                     DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX);
  flipWindowed.dwBackBufferCount = 1;
  DDSURFACEDESC2 sizedPrimary = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_PRIMARYSURFACE, 64, 64);
  const Case cases[] = {
      {badSize, DDERR_INVALIDPARAMS},          {noHeight, DDERR_INVALIDPARAMS},
      {zeroWidth, DDERR_INVALIDPARAMS},        {huge, DDERR_TOOBIGWIDTH},
      {tooManyBytes, DDERR_TOOBIGSIZE},        {bothMemories, DDERR_INVALIDCAPS},
      {texture, DDERR_INVALIDCAPS},            {fiveFiveFive, DDERR_INVALIDPIXELFORMAT},
      {depthWithoutFormat, DDERR_INVALIDPIXELFORMAT}, {depth12, DDERR_INVALIDPIXELFORMAT},
      {flipWindowed, DDERR_NOEXCLUSIVEMODE},   {sizedPrimary, DDERR_INVALIDPARAMS},
  };
  for (const Case& c : cases) {
    DDSURFACEDESC2 desc = c.desc;
    s = MakeOffscreen(dd.Get(), 1, 1);  // something to see overwritten with null
    EXPECT_EQ(dd->CreateSurface(&desc, s.ReleaseAndGetAddressOf(), nullptr), c.expected)
        << "caps " << std::hex << desc.ddsCaps.dwCaps;
    EXPECT_FALSE(s);
  }
  EXPECT_EQ(dd->CreateSurface(&offscreen, s.ReleaseAndGetAddressOf(), reinterpret_cast<IUnknown*>(dd.Get())),
            CLASS_E_NOAGGREGATION);
}

TEST_F(Surfaces, VideoMemoryRunsOutOnlyForTheCreationsThatWantIt) {
  kv::ddraw::FailVideoMemoryCreations(2);
  ComPtr<IDirectDrawSurface4> s;
  // System memory is not touched and does not use up the failures.
  s = MakeOffscreen(dd.Get(), 32, 32, 32, DDSCAPS_SYSTEMMEMORY);
  DDSURFACEDESC2 video = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 32, 32);
  EXPECT_EQ(dd->CreateSurface(&video, s.ReleaseAndGetAddressOf(), nullptr), DDERR_OUTOFVIDEOMEMORY);
  // Without a memory request the surface falls back to system memory.
  s = MakeOffscreen(dd.Get(), 32, 32, 32, 0);
  DDSURFACEDESC2 got = Desc(0, 0);
  ASSERT_EQ(s->GetSurfaceDesc(&got), DD_OK);
  EXPECT_TRUE(got.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
  EXPECT_EQ(dd->CreateSurface(&video, s.ReleaseAndGetAddressOf(), nullptr), DD_OK);
}

TEST_F(FullScreenSurfaces, FlippingChainHasOneBackBufferThatFlipSwaps) {
  DDSURFACEDESC2 desc = Desc(0, 0);
  ASSERT_EQ(back->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.dwWidth, 640u);
  EXPECT_EQ(desc.dwHeight, 480u);
  EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);
  EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_BACKBUFFER);
  DDSCAPS2 caps;
  caps.dwCaps = DDSCAPS_ZBUFFER;
  ComPtr<IDirectDrawSurface4> none;
  EXPECT_EQ(front->GetAttachedSurface(&caps, none.ReleaseAndGetAddressOf()), DDERR_NOTFOUND);
  EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);

  ASSERT_EQ(ColorFill(back.Get(), 0xF800), DD_OK);  // red in 5-6-5
  ASSERT_EQ(ColorFill(front.Get(), 0x001F), DD_OK);  // blue
  ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  kv::ddraw::PixelImage screen = kv::ddraw::ReadScreenPixels();
  ASSERT_EQ(screen.width, 640);
  EXPECT_EQ(screen.At(10, 10), 0xFF0000u);
  EXPECT_EQ(kv::ddraw::ReadSurfacePixels(back.Get()).At(10, 10), 0x0000FFu);
  // The exclusive window shows the front, scaled to its client area.
  kv::ddraw::PixelImage shown = kv::ddraw::ReadWindowPixels(form);
  ASSERT_GT(shown.width, 0);
  EXPECT_EQ(shown.At(shown.width / 2, shown.height / 2), 0xFF0000u);

  ComPtr<IDirectDrawSurface4> stranger = MakeOffscreen(dd.Get(), 640, 480, 16);
  EXPECT_EQ(front->Flip(stranger.Get(), DDFLIP_WAIT), DDERR_INVALIDPARAMS);
  EXPECT_EQ(front->DeleteAttachedSurface(0, back.Get()), DDERR_CANNOTDETACHSURFACE);
}

TEST_F(FullScreenSurfaces, LostChainFailsBltAndFlipUntilTheFrontIsRestored) {
  ComPtr<IDirectDrawSurface4> offscreen = MakeOffscreen(dd.Get(), 640, 480, 16);
  kv::ddraw::MakeSurfaceLost(front.Get());
  EXPECT_EQ(front->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);  // the chain goes together
  EXPECT_EQ(offscreen->IsLost(), DD_OK);
  EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
  EXPECT_EQ(back->Blt(nullptr, offscreen.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(offscreen->Blt(nullptr, back.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  DDSURFACEDESC2 desc = Desc(0, 0);
  EXPECT_EQ(back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
  HDC dc = nullptr;
  EXPECT_EQ(back->GetDC(&dc), DDERR_SURFACELOST);

  EXPECT_EQ(back->Restore(), DDERR_IMPLICITLYCREATED);
  ASSERT_EQ(front->Restore(), DD_OK);
  EXPECT_EQ(back->IsLost(), DD_OK);
  EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
}

TEST_F(FullScreenSurfaces, ModeChangeLosesTheChainAndRestoreNeedsItsMode) {
  ComPtr<IDirectDrawSurface4> system = MakeOffscreen(dd.Get(), 64, 64, 16, DDSCAPS_SYSTEMMEMORY);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);  // same mode: nothing lost
  EXPECT_EQ(front->IsLost(), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(800, 600, 16, 0, 0), DD_OK);
  EXPECT_EQ(front->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(system->IsLost(), DD_OK);  // system memory survives mode changes
  EXPECT_EQ(front->Restore(), DDERR_WRONGMODE);
  EXPECT_EQ(dd->RestoreAllSurfaces(), DDERR_WRONGMODE);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
  EXPECT_EQ(dd->RestoreAllSurfaces(), DD_OK);
  EXPECT_EQ(front->IsLost(), DD_OK);
  EXPECT_EQ(back->IsLost(), DD_OK);
}

TEST_F(FullScreenSurfaces, BackBufferIsSixteenBitFiveSixFive) {
  DDSURFACEDESC2 desc = Desc(0, 0);
  ASSERT_EQ(back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0xF800u);
  EXPECT_EQ(desc.ddpfPixelFormat.dwGBitMask, 0x07E0u);
  EXPECT_EQ(desc.ddpfPixelFormat.dwBBitMask, 0x001Fu);
  auto* row = reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(desc.lpSurface) + 3 * desc.lPitch);
  row[0] = 0xF800;  // pure red
  row[1] = 0x07E0;  // pure green
  row[2] = 0x001F;  // pure blue
  row[3] = 0x8410;  // middle grey: 16, 32, 16 of 31, 63, 31
  ASSERT_EQ(back->Unlock(nullptr), DD_OK);
  kv::ddraw::PixelImage image = kv::ddraw::ReadSurfacePixels(back.Get());
  EXPECT_EQ(image.At(0, 3), 0xFF0000u);
  EXPECT_EQ(image.At(1, 3), 0x00FF00u);
  EXPECT_EQ(image.At(2, 3), 0x0000FFu);
  EXPECT_EQ(image.At(3, 3), 0x848284u);
  // A 32-bit colour converted into the 16-bit buffer keeps its top bits.
  ComPtr<IDirectDrawSurface4> source = MakeOffscreen(dd.Get(), 4, 4, 32);
  Paint32(source.Get(), [](int, int) { return 0x00FF8040u; });
  ASSERT_EQ(back->Blt(nullptr, source.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  ASSERT_EQ(back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(*static_cast<std::uint16_t*>(desc.lpSurface), (0x1F << 11) | (0x20 << 5) | 0x08);
  ASSERT_EQ(back->Unlock(nullptr), DD_OK);
}

TEST_F(Surfaces, LockGivesPitchedMemoryAndIsExclusive) {
  ComPtr<IDirectDrawSurface4> s = MakeOffscreen(dd.Get(), 10, 6, 24);
  DDSURFACEDESC2 desc = Desc(0, 0);
  RECT part{2, 1, 5, 3};
  ASSERT_EQ(s->Lock(&part, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  auto* first = static_cast<std::uint8_t*>(desc.lpSurface);
  first[0] = 0x30;  // blue, green, red bytes of pixel (2, 1)
  first[1] = 0x20;
  first[2] = 0x10;
  DDSURFACEDESC2 again = Desc(0, 0);
  EXPECT_EQ(s->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
  HDC dc = nullptr;
  EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACEBUSY);
  ASSERT_EQ(s->Unlock(nullptr), DD_OK);
  EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
  EXPECT_EQ(kv::ddraw::ReadSurfacePixels(s.Get()).At(2, 1), 0x102030u);
  RECT outside{8, 4, 11, 6};
  EXPECT_EQ(s->Lock(&outside, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
}

TEST_F(Surfaces, GetDCDrawsOnTheSurfaceOnceAtATime) {
  for (DWORD bits : {16u, 24u, 32u}) {
    ComPtr<IDirectDrawSurface4> s = MakeOffscreen(dd.Get(), 20, 20, bits);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    ASSERT_NE(dc, nullptr);
    HDC second = nullptr;
    EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED);
    DDSURFACEDESC2 desc = Desc(0, 0);
    EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(ColorFill(s.Get(), 0), DDERR_SURFACEBUSY);
    SetPixel(dc, 5, 7, RGB(255, 0, 0));
    EXPECT_EQ(s->ReleaseDC(reinterpret_cast<HDC>(0x1)), DDERR_INVALIDPARAMS);
    ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(s->ReleaseDC(dc), DDERR_NODC);
    EXPECT_EQ(kv::ddraw::ReadSurfacePixels(s.Get()).At(5, 7), 0xFF0000u) << bits << " bits";
  }
  ComPtr<IDirectDrawSurface4> depth = MakeDepth(dd.Get(), 8, 8);
  HDC dc = nullptr;
  EXPECT_EQ(depth->GetDC(&dc), DDERR_CANTCREATEDC);
}

TEST_F(Surfaces, DepthBufferAttachesToARenderTargetOfItsSize) {
  ComPtr<IDirectDrawSurface4> target = MakeOffscreen(dd.Get(), 64, 48);
  ComPtr<IDirectDrawSurface4> depth = MakeDepth(dd.Get(), 64, 48, 24);
  ComPtr<IDirectDrawSurface4> smaller = MakeDepth(dd.Get(), 32, 48);
  ComPtr<IDirectDrawSurface4> other = MakeOffscreen(dd.Get(), 64, 48);
  EXPECT_EQ(target->AddAttachedSurface(smaller.Get()), DDERR_CANNOTATTACHSURFACE);
  EXPECT_EQ(target->AddAttachedSurface(other.Get()), DDERR_CANNOTATTACHSURFACE);
  EXPECT_EQ(depth->AddAttachedSurface(target.Get()), DDERR_CANNOTATTACHSURFACE);
  ASSERT_EQ(target->AddAttachedSurface(depth.Get()), DD_OK);
  EXPECT_EQ(target->AddAttachedSurface(depth.Get()), DDERR_SURFACEALREADYATTACHED);

  DDSCAPS2 caps;
  caps.dwCaps = DDSCAPS_ZBUFFER;
  ComPtr<IDirectDrawSurface4> found;
  ASSERT_EQ(target->GetAttachedSurface(&caps, found.ReleaseAndGetAddressOf()), DD_OK);
  EXPECT_EQ(found.Get(), depth.Get());
  DDSURFACEDESC2 desc = Desc(0, 0);
  ASSERT_EQ(found->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.ddpfPixelFormat.dwFlags, DDPF_ZBUFFER);
  EXPECT_EQ(desc.ddpfPixelFormat.dwZBufferBitDepth, 24u);

  // The target keeps the depth buffer alive until it is detached.
  IDirectDrawSurface4* raw = depth.Get();
  depth = nullptr;
  found = nullptr;
  EXPECT_EQ(raw->IsLost(), DD_OK);
  EXPECT_EQ(target->DeleteAttachedSurface(0, other.Get()), DDERR_SURFACENOTATTACHED);
  EXPECT_EQ(target->DeleteAttachedSurface(0, raw), DD_OK);
  EXPECT_EQ(target->GetAttachedSurface(&caps, found.ReleaseAndGetAddressOf()), DDERR_NOTFOUND);
}

TEST_F(Surfaces, DepthFillWritesRawDepthValues) {
  ComPtr<IDirectDrawSurface4> depth = MakeDepth(dd.Get(), 8, 4, 16);
  DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  fx.dwFillDepth = 0xFFFF;
  ASSERT_EQ(depth->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx), DD_OK);
  EXPECT_EQ(kv::ddraw::ReadSurfacePixels(depth.Get()).At(7, 3), 0xFFFFu);
  EXPECT_EQ(depth->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDSURFACETYPE);
  ComPtr<IDirectDrawSurface4> colour = MakeOffscreen(dd.Get(), 8, 4);
  EXPECT_EQ(colour->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL, &fx), DDERR_INVALIDSURFACETYPE);
  EXPECT_EQ(colour->Blt(nullptr, depth.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPIXELFORMAT);
}

}  // namespace
}  // namespace kvtest
