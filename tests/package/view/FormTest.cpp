// A form with a view, a scene with background and fog, a camera and a light:
// read from text, rendered headless and in a real SDL window, written back;
// a lit object's form shown in a window matches its headless render.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/platform/ddraw/GlContext.h"
#ifdef KV_HAVE_XGRAB
#include <SDL.h>
#endif
#include "support/GlDevice.h"
#include "support/XGrab.h"
#include "support/XServer.h"
#include "LitForm.h"
#include "ViewFixture.h"

using namespace kv;

namespace kvtest {
namespace {

const char* const kViewForm = R"(object Form1: TForm
  Left = 20
  Top = 20
  Width = 160
  Height = 120
  object View1: TKV3DView
    Left = 0
    Top = 0
    Width = 96
    Height = 64
    Scene = Scene1
    Camera = Camera1
    DisplayMode = dm800x600x32
    RenderDelta = 0.5
    StorageFileName = 'store.kvf'
    Quality.ShadeMode = smFlat
    Quality.TextureQuality = tqLinear
    Plane.Back = 200.0
    ProjectionType = ptOrthographic
    RenderMode = [rmSortedTransparency]
    ShowBackFaces = True
  end
  object Scene1: TKV3DScene
    Fog.Color = clGray
    Fog.Visible = True
    BackgroundColor = clNavy
  end
  object Camera1: TKV3DCamera
    ParentFrame = Scene1
  end
  object Light1: TKV3DLight
    ParentFrame = Scene1
  end
end
)";


class ViewForms : public ViewTest {};

TEST_F(ViewForms, FormRendersItsSceneAndWritesBackWhatItRead) {
  TKV3DView* view = nullptr;
  std::unique_ptr<TComponent> root = ShowForm(kViewForm, view);
  ASSERT_NE(root, nullptr) << LastErrorText();
  ASSERT_NE(view, nullptr);
  ASSERT_NE(view->GetIDirect3DRMViewport2(), nullptr);
  EXPECT_EQ(view->DisplayMode(), dm800x600x32);
  EXPECT_EQ(view->StorageFileName(), "store.kvf");
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetQuality(), 0x88u);
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetTextureQuality(), 1u);
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetRenderMode(), 3u);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetBack(), 200.0f);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetProjection(), D3DRMPROJECT_ORTHOGRAPHIC);

  EXPECT_FALSE(view->Render());
  const auto shown = kv::ddraw::ReadWindowPixels(view->Handle());
  ASSERT_EQ(shown.width, 96);
  ASSERT_EQ(shown.height, 64);
  EXPECT_EQ(shown.At(0, 0), 0x000080u);
  EXPECT_EQ(shown.At(95, 63), 0x000080u);

  std::string written;
  ASSERT_TRUE(WriteComponentText(root.get(), written));
  for (const char* line : {"DisplayMode = dm800x600x32", "RenderDelta = 0.5", "StorageFileName = 'store.kvf'", "Quality.ShadeMode = smFlat",
                           "Quality.TextureQuality = tqLinear", "Plane.Back = 200.0", "ProjectionType = ptOrthographic",
                           "RenderMode = [rmBlendedTransparency, rmSortedTransparency]", "ShowBackFaces = True",
                           "Scene = Scene1", "Camera = Camera1"})
    EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;
  for (const char* absent : {"AutoRender", "DriverType", "UniformScaling", "Plane.Front", "Quality.LightMode"})
    EXPECT_EQ(written.find(absent), std::string::npos) << absent << "\n" << written;
  // The published order: the view's own properties after the control's.
  EXPECT_LT(written.find("Scene = Scene1"), written.find("DisplayMode"));
  EXPECT_LT(written.find("Quality.ShadeMode"), written.find("Plane.Back"));
  EXPECT_LT(written.find("Plane.Back"), written.find("ProjectionType"));
}

TEST_F(ViewForms, BadViewValuesNameTheLineAndBuildNothing) {
  Register();
  struct Case {
    const char* line;
    const char* property;
  };
  for (const Case& c : {Case{"DisplayMode = dm800x600x31", "DisplayMode"}, Case{"Quality.FillMode = fmDots", "Quality.FillMode"},
                        Case{"RenderMode = [rmBogus]", "RenderMode"}, Case{"Plane.Field = 'wide'", "Plane.Field"},
                        Case{"Height = 100000", "Height"}, Case{"Width = 40000", "Width"}}) {
    const std::string text = std::string("object Form1: TForm\n  object View1: TKV3DView\n    ") + c.line + "\n  end\nend\n";
    EXPECT_EQ(ReadComponentText(text, "bad.kvf"), nullptr) << c.line;
    EXPECT_NE(LastErrorText().find("bad.kvf:3"), std::string::npos) << LastErrorText();
    EXPECT_NE(LastErrorText().find(c.property), std::string::npos) << LastErrorText();
  }
}

TEST_F(ViewForms, ATallViewKeepsItsHeightThroughItsWindow) {
  // The size message once kept 16 bits of it: 100000 came back as 34464.
  // Sizes are bounded now (16384 a side), and the largest comes back whole.
  const char* text = R"(object Form1: TForm
  Width = 160
  Height = 120
  object View1: TKV3DView
    Width = 64
    Height = 16384
  end
end
)";
  TKV3DView* view = nullptr;
  std::unique_ptr<TComponent> root = ShowForm(text, view);
  ASSERT_NE(root, nullptr) << LastErrorText();
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(view->HandleAllocated());
  RECT client{};
  ASSERT_TRUE(GetClientRect(view->Handle(), &client));
  EXPECT_EQ(client.bottom, 16384);
  EXPECT_EQ(view->GetHeight(), 16384);
  std::string written;
  ASSERT_TRUE(WriteComponentText(root.get(), written));
  EXPECT_NE(written.find("    Height = 16384\n"), std::string::npos) << written;
  EXPECT_FALSE(view->SetHeight(100000));
  EXPECT_EQ(view->GetHeight(), 16384);
}

TEST(ViewRealWindow, FormRendersInAnSdlWindow) {
  XServer x;
  if (!x.Available()) GTEST_SKIP() << x.Reason();
  if (kv::platform::SelectBackend(kv::platform::BackendKind::Sdl) != kv::platform::BackendKind::Sdl)
    GTEST_SKIP() << "SDL video did not start on this display";
  ResetSharedRuntime();
  {
    TKV3DView* view = nullptr;
    std::unique_ptr<TComponent> root = ShowForm(kViewForm, view);
    ASSERT_NE(root, nullptr) << LastErrorText();
    ASSERT_NE(view->GetIDirect3DRMViewport2(), nullptr);
    view->SetAutoRender(true);
    PumpFor(std::chrono::milliseconds(300));
    view->SetAutoRender(false);
    const auto shown = kv::ddraw::ReadWindowPixels(view->Handle());
    ASSERT_EQ(shown.width, 96);
    EXPECT_EQ(shown.At(10, 10), 0x000080u);
  }
  ResetSharedRuntime();
  kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
}

#ifdef KV_HAVE_XGRAB
// What an SDL window on a real X server shows, read back from the server
// itself, matches the headless render of the same form: background colour,
// a lit sphere, and the view's place inside the form's window.
TEST(ViewWindowReadBack, XServerShowsTheHeadlessRender) {
  XServer x;
  if (!x.Available()) GTEST_SKIP() << x.Reason();

  ResetSharedRuntime();
  kv::ddraw::PixelImage expected;
  {
    TKV3DView* view = nullptr;
    std::unique_ptr<TComponent> root = ShowAndRender(view);
    ASSERT_NE(root, nullptr) << LastErrorText();
    expected = kv::ddraw::ReadWindowPixels(view->Handle());
  }
  ResetSharedRuntime();
  ASSERT_EQ(expected.width, 96);
  ASSERT_EQ(expected.height, 64);
  // The reference itself shows what is compared: background at a corner,
  // a shaded sphere (lit side brighter than the far side) in the middle.
  EXPECT_EQ(expected.At(2, 2), 0x204080u);
  EXPECT_NE(expected.At(48, 32), 0x204080u);

  if (kv::platform::SelectBackend(kv::platform::BackendKind::Sdl) != kv::platform::BackendKind::Sdl)
    GTEST_SKIP() << "SDL video did not start on this display";
  ResetSharedRuntime();
  {
    TKV3DView* view = nullptr;
    std::unique_ptr<TComponent> root = ShowAndRender(view);
    ASSERT_NE(root, nullptr) << LastErrorText();
    auto xWindow = XWindowOfSdlWindow(kv::platform::NativeWindowHandle(view->Handle()));
    ASSERT_TRUE(xWindow.has_value()) << "SDL does not run on X11";
    // The view's place inside the form's window, as the window system has it.
    POINT viewOrigin{0, 0};
    POINT formOrigin{0, 0};
    ClientToScreen(view->Handle(), &viewOrigin);
    ClientToScreen(static_cast<TForm*>(root.get())->Handle(), &formOrigin);
    EXPECT_EQ(viewOrigin.x - formOrigin.x, 12);
    EXPECT_EQ(viewOrigin.y - formOrigin.y, 8);

    const XPixels shown = GrabXWindow(*xWindow, viewOrigin.x - formOrigin.x, viewOrigin.y - formOrigin.y, 96, 64);
    ASSERT_TRUE(shown.Ok()) << shown.error;
    int worst = 0;
    int worstX = 0;
    int worstY = 0;
    for (int y = 0; y < 64; ++y) {
      for (int xPos = 0; xPos < 96; ++xPos) {
        const int d = ChannelDistance(shown.At(xPos, y), expected.At(xPos, y));
        if (d > worst) {
          worst = d;
          worstX = xPos;
          worstY = y;
        }
      }
    }
    EXPECT_LE(worst, kChannelTolerance) << "at " << worstX << "," << worstY << ": shown " << std::hex
                                        << shown.At(worstX, worstY) << ", headless " << expected.At(worstX, worstY);
  }
  ResetSharedRuntime();
  kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
}

// The OpenGL device in a real SDL window. The view's device draws through
// an OpenGL context SDL made for the window and shows its frame by swapping
// buffers; what the X server has in the window is compared with the
// software device's headless render of the same form.
class GlWindow : public GlOnXServer {
 protected:
  GlWindow() : GlOnXServer(1024, 768) {}

  void RenderExpected() override {
    TKV3DView* view = nullptr;
    std::unique_ptr<TComponent> root = ShowAndRender(view);
    ASSERT_NE(root, nullptr) << LastErrorText();
    ASSERT_EQ(view->DriverType(), dtRGB);
    expected_ = Opaque(kv::ddraw::ReadWindowPixels(view->Handle()));
    ASSERT_EQ(expected_.width, 96);
  }

  // The view's 96x64 pixels as the X server shows them.
  static kv::image::Image Shown(TKV3DView* view) {
    kv::image::Image actual;
    auto xWindow = XWindowOfSdlWindow(kv::platform::NativeWindowHandle(view->Handle()));
    EXPECT_TRUE(xWindow.has_value()) << "SDL does not run on X11";
    if (!xWindow) return actual;
    const XPixels shown = GrabXWindow(*xWindow, 12, 8, 96, 64);
    EXPECT_TRUE(shown.Ok()) << shown.error;
    actual.width = shown.width;
    actual.height = shown.height;
    for (std::uint32_t p : shown.pixels) actual.pixels.push_back(0xFF000000u | p);
    return actual;
  }

  void ExpectShowsHeadlessRender(const kv::image::Image& actual, const std::string& name) {
    ExpectShowsRender(actual, expected_, name);
  }

  static bool WindowMadeForOpenGl(TKV3DView* view) {
    auto* window = static_cast<SDL_Window*>(kv::platform::NativeWindowHandle(view->Handle()));
    return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL);
  }
};

TEST_F(GlWindow, SwappedFrameMatchesTheSoftwareDevicesHeadlessRender) {
  TKV3DView* view = nullptr;
  std::unique_ptr<TComponent> root = ShowAndRender(view);
  ASSERT_NE(root, nullptr) << LastErrorText();
  EXPECT_EQ(view->DriverType(), dtHAL);
  EXPECT_TRUE(WindowMadeForOpenGl(view));
  ExpectShowsHeadlessRender(Shown(view), "gl-window");
  // The form's own pixels around the view are swapped in with it.
  auto* form = static_cast<TForm*>(root.get());
  const kv::ddraw::PixelImage formPixels = kv::ddraw::ReadWindowPixels(form->Handle());
  auto xWindow = XWindowOfSdlWindow(kv::platform::NativeWindowHandle(form->Handle()));
  ASSERT_TRUE(xWindow.has_value());
  const XPixels corner = GrabXWindow(*xWindow, 0, 0, 4, 4);
  ASSERT_TRUE(corner.Ok()) << corner.error;
  ASSERT_GT(formPixels.width, 4);
  EXPECT_EQ(corner.At(2, 2) & 0xFFFFFF, formPixels.At(2, 2));
  // A second frame is swapped in as well (the picture stays the same).
  view->Render();
  PumpFor(std::chrono::milliseconds(100));
  ExpectShowsHeadlessRender(Shown(view), "gl-window-again");
  // Reading the windows back (as the viewer does for the picture shown at
  // close) gives the swapped picture too, for the view and the form.
  ExpectShowsHeadlessRender(Opaque(kv::ddraw::ReadWindowPixels(view->Handle())), "gl-window-read");
  const kv::ddraw::PixelImage wholeForm = kv::ddraw::ReadWindowPixels(form->Handle());
  ASSERT_GE(wholeForm.width, 12 + 96);
  EXPECT_LE(ChannelDistance(wholeForm.At(12 + 48, 8 + 32), expected_.At(48, 32) & 0xFFFFFF), 16);
  // Reading the view's picture reads the frame back from the context.
  const kv::ddraw::PixelImage back = kv::ddraw::ReadSurfacePixels(view->BackSurface());
  ASSERT_EQ(back.width, 96);
  EXPECT_LE(ChannelDistance(back.At(48, 32), expected_.At(48, 32) & 0xFFFFFF), 16);
  EXPECT_EQ(back.At(2, 2), 0x204080u);
}

// The GDI events on the back surface see the frame the device drew and what
// they draw is shown with it.
TEST_F(GlWindow, GdiEventsSeeAndDrawOnTheFrame) {
  TKV3DView* view = nullptr;
  std::unique_ptr<TComponent> root = ShowAndRender(view);
  ASSERT_NE(root, nullptr) << LastErrorText();
  ASSERT_EQ(view->DriverType(), dtHAL);
  COLORREF corner = CLR_INVALID;
  COLORREF middle = CLR_INVALID;
  view->OnDrawFrontGDI = [&](TObject*, HDC dc) {
    corner = GetPixel(dc, 2, 2);
    middle = GetPixel(dc, 48, 32);
    view->Canvas()->Brush.Color = clLime;
    view->Canvas()->FillRect(RECT{0, 0, 10, 10});
  };
  view->Render();
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_EQ(corner, RGB(0x20, 0x40, 0x80));
  const std::uint32_t middleXrgb = (GetRValue(middle) << 16) | (GetGValue(middle) << 8) | GetBValue(middle);
  EXPECT_LE(ChannelDistance(middleXrgb, expected_.At(48, 32) & 0xFFFFFF), 16);

  const kv::image::Image shown = Shown(view);
  ASSERT_EQ(shown.width, 96);
  EXPECT_EQ(shown.At(5, 5) & 0xFFFFFF, 0x00FF00u);  // drawn by the event
  EXPECT_LE(ChannelDistance(shown.At(48, 32) & 0xFFFFFF, expected_.At(48, 32) & 0xFFFFFF), 16);
  EXPECT_EQ(shown.At(40, 5) & 0xFFFFFF, 0x204080u);
}

// The surface's memory read back from the picture (a screenshot, a lock)
// is not drawn again under a later frame: a frame that clears shows only
// what it drew.
TEST_F(GlWindow, AFrameAfterTheSurfaceWasReadShowsOnlyThatFrame) {
  TKV3DView* view = nullptr;
  std::unique_ptr<TComponent> root = ShowAndRender(view);
  ASSERT_NE(root, nullptr) << LastErrorText();
  ASSERT_EQ(view->DriverType(), dtHAL);
  auto* ball = dynamic_cast<TKV3DObject*>(root->FindComponent("Ball"));
  ASSERT_NE(ball, nullptr);
  for (int frame = 0; frame < 2; ++frame) {
    const kv::ddraw::PixelImage read = kv::ddraw::ReadSurfacePixels(view->BackSurface());
    ASSERT_EQ(read.width, 96);
    EXPECT_NE(read.At(48, 32), 0x204080u) << "the ball, read back";
    ball->Position()->SetX(100);  // out of sight
    view->Render();
    PumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(Shown(view).At(48, 32) & 0xFFFFFF, 0x204080u) << "the ball left behind, frame " << frame;
    ball->Position()->SetX(0);
    view->Render();
    PumpFor(std::chrono::milliseconds(100));
  }
}

// A window context that is lost (a driver reset, a window that went) loses
// the view's surfaces: the view reports DDERR_SURFACELOST, builds its chain
// again, and the next frame is shown through a new context.
TEST_F(GlWindow, LostContextIsReportedAsLostSurfacesAndTheViewRecovers) {
  TKV3DView* view = nullptr;
  std::unique_ptr<TComponent> root = ShowAndRender(view);
  ASSERT_NE(root, nullptr) << LastErrorText();
  ASSERT_EQ(view->DriverType(), dtHAL);
  LoseTheContextAndRecover(view);
  EXPECT_TRUE(WindowMadeForOpenGl(view));
  ExpectShowsHeadlessRender(Shown(view), "gl-window-restored");
}

// A window whose OpenGL context cannot be made: the device draws off screen
// and reads its frame back, as on a machine without a window, and the
// window shows the same picture.
TEST_F(GlWindow, RefusedWindowContextFallsBackToDrawingOffScreen) {
  kv::ddraw::GlContext::FailWindowContexts(1000);
  TKV3DView* view = nullptr;
  std::unique_ptr<TComponent> root = ShowAndRender(view);
  ASSERT_NE(root, nullptr) << LastErrorText();
  EXPECT_EQ(view->DriverType(), dtHAL);
  EXPECT_FALSE(WindowMadeForOpenGl(view));
  ExpectShowsHeadlessRender(Shown(view), "gl-offscreen-window");
}

#endif  // KV_HAVE_XGRAB

}  // namespace
}  // namespace kvtest
