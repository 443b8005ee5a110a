// Blt between surfaces (rectangles, stretching, format conversion, fills)
// and onto the screen through a clipper: the windowed presentation.
#include "DDrawTestSupport.h"

using namespace kv;

namespace kvtest {
namespace {

using Blits = DisplayTest;

// A 4x4 source whose pixel (x, y) is 0x00XXYY00-ish, so every pixel differs.
std::uint32_t Coded(int x, int y) { return 0x00100000u * (x + 1) + 0x00000100u * (y + 1); }

TEST_F(Blits, CopiesARectangleOneToOne) {
  ComPtr<IDirectDrawSurface4> src = MakeOffscreen(dd.Get(), 4, 4);
  ComPtr<IDirectDrawSurface4> dst = MakeOffscreen(dd.Get(), 8, 8);
  Paint32(src.Get(), Coded);
  RECT from{1, 1, 3, 4}, to{5, 2, 7, 5};
  ASSERT_EQ(dst->Blt(&to, src.Get(), &from, DDBLT_WAIT, nullptr), DD_OK);
  kv::ddraw::PixelImage out = kv::ddraw::ReadSurfacePixels(dst.Get());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 5 && x < 7 && y >= 2 && y < 5;
      EXPECT_EQ(out.At(x, y), inside ? Coded(x - 4, y - 1) : 0u) << x << "," << y;
    }
}

TEST_F(Blits, StretchesByNearestPixelBothWays) {
  ComPtr<IDirectDrawSurface4> src = MakeOffscreen(dd.Get(), 4, 4);
  ComPtr<IDirectDrawSurface4> big = MakeOffscreen(dd.Get(), 8, 12);
  Paint32(src.Get(), Coded);
  ASSERT_EQ(big->Blt(nullptr, src.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  kv::ddraw::PixelImage out = kv::ddraw::ReadSurfacePixels(big.Get());
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(out.At(x, y), Coded(x / 2, y / 3)) << x << "," << y;

  ComPtr<IDirectDrawSurface4> small = MakeOffscreen(dd.Get(), 2, 2);
  ASSERT_EQ(small->Blt(nullptr, src.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  out = kv::ddraw::ReadSurfacePixels(small.Get());
  // Each destination pixel takes the source pixel under its centre.
  EXPECT_EQ(out.At(0, 0), Coded(1, 1));
  EXPECT_EQ(out.At(1, 1), Coded(3, 3));
}

TEST_F(Blits, OverlappingCopyWithinOneSurfaceReadsTheOriginalPixels) {
  ComPtr<IDirectDrawSurface4> s = MakeOffscreen(dd.Get(), 4, 4);
  Paint32(s.Get(), Coded);
  RECT from{0, 0, 3, 4}, to{1, 0, 4, 4};
  ASSERT_EQ(s->Blt(&to, s.Get(), &from, DDBLT_WAIT, nullptr), DD_OK);
  kv::ddraw::PixelImage out = kv::ddraw::ReadSurfacePixels(s.Get());
  for (int x = 1; x < 4; ++x) EXPECT_EQ(out.At(x, 2), Coded(x - 1, 2));
}

TEST_F(Blits, ColourFillUsesTheSurfacesFormatAndItsRectangle) {
  ComPtr<IDirectDrawSurface4> s16 = MakeOffscreen(dd.Get(), 6, 6, 16);
  RECT part{1, 2, 3, 6};
  ASSERT_EQ(ColorFill(s16.Get(), 0x07E0, &part), DD_OK);
  kv::ddraw::PixelImage out = kv::ddraw::ReadSurfacePixels(s16.Get());
  EXPECT_EQ(out.At(1, 2), 0x00FF00u);
  EXPECT_EQ(out.At(2, 5), 0x00FF00u);
  EXPECT_EQ(out.At(3, 2), 0u);
  EXPECT_EQ(out.At(1, 1), 0u);
}

TEST_F(Blits, BadArgumentsFailAndChangeNothing) {
  ComPtr<IDirectDrawSurface4> src = MakeOffscreen(dd.Get(), 4, 4);
  ComPtr<IDirectDrawSurface4> dst = MakeOffscreen(dd.Get(), 4, 4);
  Paint32(src.Get(), Coded);
  RECT inverted{3, 0, 1, 2}, outside{2, 2, 5, 4}, empty{1, 1, 1, 3};
  EXPECT_EQ(dst->Blt(&inverted, src.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->Blt(&outside, src.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->Blt(nullptr, src.Get(), &outside, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->Blt(nullptr, src.Get(), &empty, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dst->Blt(nullptr, src.Get(), nullptr, DDBLT_KEYSRC, nullptr), DDERR_UNSUPPORTED);
  kv::ddraw::FailNextBlt(DDERR_GENERIC);
  EXPECT_EQ(dst->Blt(nullptr, src.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_GENERIC);
  kv::ddraw::PixelImage out = kv::ddraw::ReadSurfacePixels(dst.Get());
  for (std::uint32_t p : out.pixels) EXPECT_EQ(p, 0u);
  // The hook fails one Blt only.
  EXPECT_EQ(dst->Blt(nullptr, src.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(kv::ddraw::ReadSurfacePixels(dst.Get()).At(3, 3), Coded(3, 3));
}

// A form at (100, 50) with a view child at (10, 20) in its client area: the
// view's client rectangle on the screen, as a view keeps it.
class WindowedPresentation : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    form = MakeTopWindow(100, 50, 300, 200);
    view = MakeChildWindow(form, 10, 20, 64, 48);
    ASSERT_EQ(dd->SetCooperativeLevel(view, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC2 desc = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
    ASSERT_EQ(dd->CreateSurface(&desc, primary.ReleaseAndGetAddressOf(), nullptr), DD_OK);
    ComPtr<IDirectDrawClipper> clipper;
    ASSERT_EQ(dd->CreateClipper(0, clipper.ReleaseAndGetAddressOf(), nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, view), DD_OK);
    ASSERT_EQ(primary->SetClipper(clipper.Get()), DD_OK);  // the surface keeps it
    back = MakeOffscreen(dd.Get(), 64, 48, 0, 0);
    POINT origin{0, 0};
    ClientToScreen(view, &origin);
    screenClient = RECT{origin.x, origin.y, origin.x + 64, origin.y + 48};
  }
  void TearDown() override {
    back = nullptr;
    primary = nullptr;
    DestroyWindow(form);
    DisplayTest::TearDown();
  }
  HWND form = nullptr, view = nullptr;
  ComPtr<IDirectDrawSurface4> primary, back;
  RECT screenClient;
};

TEST_F(WindowedPresentation, BltToThePrimaryLandsInTheViewsClientArea) {
  Paint32(back.Get(), [](int x, int y) { return x < 32 ? 0x00FF0000u : (y < 24 ? 0x0000FF00u : 0x000000FFu); });
  RECT source{0, 0, 64, 48};
  ASSERT_EQ(primary->Blt(&screenClient, back.Get(), &source, DDBLT_WAIT, nullptr), DD_OK);
  kv::ddraw::PixelImage shown = kv::ddraw::ReadWindowPixels(view);
  ASSERT_EQ(shown.width, 64);
  ASSERT_EQ(shown.height, 48);
  EXPECT_EQ(shown.At(0, 0), 0xFF0000u);
  EXPECT_EQ(shown.At(31, 47), 0xFF0000u);
  EXPECT_EQ(shown.At(40, 10), 0x00FF00u);
  EXPECT_EQ(shown.At(63, 47), 0x0000FFu);
  // The form around the view is untouched.
  kv::ddraw::PixelImage formPixels = kv::ddraw::ReadWindowPixels(form);
  POINT viewOrigin{0, 0};
  ClientToScreen(view, &viewOrigin);
  ScreenToClient(form, &viewOrigin);
  EXPECT_EQ(formPixels.At(viewOrigin.x, viewOrigin.y), 0xFF0000u);
  EXPECT_NE(formPixels.At(viewOrigin.x - 1, viewOrigin.y), 0xFF0000u);
  // The screen (the primary's memory) has the image at the same place.
  EXPECT_EQ(kv::ddraw::ReadSurfacePixels(primary.Get()).At(screenClient.left, screenClient.top), 0xFF0000u);
}

TEST_F(WindowedPresentation, ClipperCutsWhatFallsOutsideTheClientArea) {
  ColorFill(back.Get(), 0x00FFFF00);
  // A destination twice the client size, starting 10 pixels left and above:
  // stretched, and only the part over the client area is drawn.
  RECT dest{screenClient.left - 10, screenClient.top - 10, screenClient.left + 118, screenClient.top + 86};
  ASSERT_EQ(primary->Blt(&dest, back.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  kv::ddraw::PixelImage screen = kv::ddraw::ReadSurfacePixels(primary.Get());
  EXPECT_EQ(screen.At(screenClient.left, screenClient.top), 0xFFFF00u);
  EXPECT_EQ(screen.At(screenClient.right - 1, screenClient.bottom - 1), 0xFFFF00u);
  EXPECT_EQ(screen.At(screenClient.left - 1, screenClient.top), 0u);
  EXPECT_EQ(screen.At(screenClient.right, screenClient.top), 0u);
  EXPECT_EQ(screen.At(screenClient.left, screenClient.bottom), 0u);
  kv::ddraw::PixelImage shown = kv::ddraw::ReadWindowPixels(view);
  EXPECT_EQ(shown.At(63, 47), 0xFFFF00u);

  // The clip follows the window: after a move 20 pixels right, a Blt to the
  // old rectangle shows its right part at the view's left edge.
  Paint32(back.Get(), [](int x, int) { return static_cast<std::uint32_t>(x); });
  MoveWindow(view, 30, 20, 64, 48, TRUE);
  ASSERT_EQ(primary->Blt(&screenClient, back.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  shown = kv::ddraw::ReadWindowPixels(view);
  EXPECT_EQ(shown.At(0, 5), 20u);
  EXPECT_EQ(shown.At(43, 5), 63u);
}

TEST_F(WindowedPresentation, ColourFillThroughTheClipperReachesTheWindow) {
  RECT whole{0, 0, 1024, 768};
  ASSERT_EQ(ColorFill(primary.Get(), 0x00123456, &whole), DD_OK);
  kv::ddraw::PixelImage shown = kv::ddraw::ReadWindowPixels(view);
  EXPECT_EQ(shown.At(0, 0), 0x123456u);
  EXPECT_EQ(shown.At(63, 47), 0x123456u);
  EXPECT_EQ(kv::ddraw::ReadSurfacePixels(primary.Get()).At(0, 0), 0u);  // clipped away
}

TEST_F(WindowedPresentation, LostPrimaryFailsUntilRestored) {
  kv::ddraw::MakeSurfaceLost(primary.Get());
  EXPECT_EQ(primary->Blt(&screenClient, back.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  ASSERT_EQ(primary->Restore(), DD_OK);
  EXPECT_EQ(primary->Blt(&screenClient, back.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  kv::ddraw::MakeAllSurfacesLost();
  EXPECT_EQ(primary->Blt(&screenClient, back.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  ASSERT_EQ(primary->Restore(), DD_OK);
  // The back surface is still lost: restoring the primary alone is not enough.
  EXPECT_EQ(primary->Blt(&screenClient, back.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  ASSERT_EQ(dd->RestoreAllSurfaces(), DD_OK);
  EXPECT_EQ(primary->Blt(&screenClient, back.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
}

TEST_F(WindowedPresentation, ClipperWithoutAWindowGivesNoClipList) {
  ComPtr<IDirectDrawClipper> clipper;
  ASSERT_EQ(primary->GetClipper(clipper.ReleaseAndGetAddressOf()), DD_OK);
  HWND bound = nullptr;
  ASSERT_EQ(clipper->GetHWnd(&bound), DD_OK);
  EXPECT_EQ(bound, view);
  ASSERT_EQ(clipper->SetHWnd(0, nullptr), DD_OK);
  EXPECT_EQ(primary->Blt(&screenClient, back.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_NOCLIPLIST);
  EXPECT_EQ(clipper->SetHWnd(1, view), DDERR_INVALIDPARAMS);
  ASSERT_EQ(primary->SetClipper(nullptr), DD_OK);
  EXPECT_EQ(primary->GetClipper(clipper.ReleaseAndGetAddressOf()), DDERR_NOCLIPPERATTACHED);
}

}  // namespace
}  // namespace kvtest
