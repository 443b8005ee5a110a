// The view's chain of display objects, display modes, full screen, links to
// scene and camera, and how frames find the view that shows them.
#include <algorithm>

#include "korvane3d/frames/SceneViewport.h"
#include "ViewFixture.h"
#include "korvane3d/platform/ddraw/GlContext.h"

using namespace kv;

namespace kvtest {
namespace {

using kv::ddraw::CurrentDisplayMode;
using kv::ddraw::DisplayModeInfo;

TEST_F(ViewTest, NewViewHasDefaultsAndSurfacesButNoDeviceWithoutCamera) {
  TKV3DView* view = MakeView();
  EXPECT_EQ(view->DisplayMode(), dm640x480x16);
  EXPECT_EQ(view->GetDisplayMode(), "640x480x16");
  // The hardware device only where a hardware GL renderer is (never Mesa's software ones).
  EXPECT_EQ(view->DriverType(), kv::ddraw::HardwareDeviceOffered() ? dtHAL : dtRGB);
  EXPECT_FALSE(view->AutoRender());
  EXPECT_EQ(view->RenderDelta(), 1.0f);
  EXPECT_EQ(view->GetFPS(), 0);
  // The loop's first pass built the surfaces; without a camera there is
  // neither device nor viewport.
  EXPECT_NE(view->PrimarySurface(), nullptr);
  EXPECT_NE(view->BackSurface(), nullptr);
  EXPECT_EQ(view->GetIDirect3DRMDevice3(), nullptr);
  EXPECT_EQ(view->GetIDirect3DRMViewport2(), nullptr);
  EXPECT_EQ(view->GetIDirect3DClipper(), nullptr);
  EXPECT_FALSE(view->Render());  // the empty back surface is presented

  auto* bare = new TKV3DView(nullptr);  // no parent, no window
  EXPECT_EQ(bare->GetWidth(), 100);
  EXPECT_EQ(bare->GetHeight(), 100);
  EXPECT_EQ(bare->BackSurface(), nullptr);
  delete bare;
}

TEST_F(ViewTest, CameraBringsDeviceAndViewportOfTheClientSize) {
  TKV3DView* view = MakeView(64, 48);
  MakeScene();
  view->SetScene(scene);
  view->SetCamera(camera);  // manual rendering: the change runs at once
  ASSERT_NE(view->GetIDirect3DRMViewport2(), nullptr);
  ASSERT_NE(view->GetIDirect3DRMDevice3(), nullptr);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetWidth(), 64u);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetHeight(), 48u);
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetQuality(), 0x89u);
  EXPECT_NE(view->DepthBuffer(), nullptr);

  // A resize rebuilds at the new size.
  view->SetBounds(0, 0, 80, 40);
  ASSERT_NE(view->GetIDirect3DRMViewport2(), nullptr);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetWidth(), 80u);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetHeight(), 40u);
}

TEST_F(ViewTest, ModeListSkipsPaletteModesAndIgnoresCase) {
  TKV3DView* view = MakeView();
  const auto modes = view->AvailableDisplayModes();
  ASSERT_FALSE(modes.empty());
  for (const std::string& m : modes) EXPECT_NE(m.substr(m.size() - 2), "x8") << m;
  EXPECT_TRUE(std::find(modes.begin(), modes.end(), "800x600x32") != modes.end());
  EXPECT_FALSE(view->CheckDisplayModeValid("800x600x8"));

  EXPECT_TRUE(view->CheckDisplayModeValid("800X600X32"));  // the list's lookup ignores case
  EXPECT_EQ(view->DisplayRec().Width, 800);
  EXPECT_EQ(view->DisplayRec().BitsPerPixel, 32);
  EXPECT_EQ(view->DisplayMode(), dm640x480x16);  // a direct check does not change the property

  // Texts: exact and with case.
  EXPECT_TRUE(view->DisplayModeStr("800x600x32"));
  EXPECT_EQ(view->DisplayMode(), dm800x600x32);
  EXPECT_TRUE(view->DisplayModeStr("800X600X32"));
  EXPECT_TRUE(view->DisplayModeStr(""));
  EXPECT_EQ(view->DisplayMode(), dm800x600x32);
  EXPECT_EQ(DisplayModeText(dm1600x1200x32), "1600x1200x32");
  EXPECT_EQ(DisplayModeText(kDisplayModeCount), "");

  // A mode the display lacks is refused silently; windowed, nothing is built.
  IDirectDrawSurface4* back = view->BackSurface();
  EXPECT_FALSE(view->DisplayModeStr("1600x1200x16"));
  EXPECT_EQ(view->DisplayMode(), dm800x600x32);
  EXPECT_EQ(view->DisplayRec().Width, 800);
  view->SetDisplayMode(dm1024x768x16);
  EXPECT_EQ(view->DisplayMode(), dm1024x768x16);
  EXPECT_EQ(view->BackSurface(), back);
  EXPECT_TRUE(kv::platform::RecordedMessageBoxes().empty());
}

TEST_F(ViewTest, ModeTextsFollowWhatTheDisplayOffers) {
  kv::ddraw::SetHeadlessDisplayModes({{640, 480, 16, 60}, {800, 600, 16, 60}, {800, 600, 8, 60}});
  TKV3DView* view = MakeView();
  EXPECT_EQ(view->AvailableDisplayModes(), (std::vector<std::string>{"640x480x16", "800x600x16"}));
  EXPECT_FALSE(view->DisplayModeStr("800x600x32"));
  EXPECT_TRUE(view->DisplayModeStr("800x600x16"));
}

TEST_F(ViewTest, OfferedModesListInNumericOrder) {
  // Offered out of order; text order would put 1024 and 1280 before 640.
  kv::ddraw::SetHeadlessDisplayModes({{1280, 1024, 16, 60},
                                      {640, 480, 32, 60},
                                      {1024, 768, 32, 60},
                                      {800, 600, 16, 60},
                                      {640, 480, 16, 60}});
  TKV3DView* view = MakeView();
  EXPECT_EQ(view->AvailableDisplayModes(),
            (std::vector<std::string>{"640x480x16", "640x480x32", "800x600x16", "1024x768x32", "1280x1024x16"}));
  EXPECT_TRUE(view->DisplayModeStr("1024x768x32"));  // lookups still find every mode
  EXPECT_EQ(view->DisplayRec().Width, 1024);
}

TEST_F(ViewTest, FullScreenAndBackLeavesTheFormWhereItWas) {
  TKV3DView* view = MakeView();
  MakeScene();
  view->SetScene(scene);
  view->SetCamera(camera);
  RECT before{};
  GetWindowRect(form->Handle(), &before);
  const DisplayModeInfo desktop = CurrentDisplayMode();

  ASSERT_TRUE(view->DisplayModeStr("800x600x32"));
  view->SetFullScreen(true);
  ASSERT_TRUE(view->FullScreen());
  EXPECT_EQ(CurrentDisplayMode().width, 800);
  EXPECT_EQ(CurrentDisplayMode().bitsPerPixel, 32);
  EXPECT_FALSE(view->Visible());
  ASSERT_NE(view->GetIDirect3DRMViewport2(), nullptr);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetWidth(), 800u);
  // Width and Height read the parent's while full screen; writing is ignored.
  EXPECT_EQ(view->GetWidth(), form->Width());
  view->SetWidth(10);
  EXPECT_EQ(view->GetWidth(), form->Width());
  EXPECT_FALSE(view->Flip());  // a flip of the chain

  // A mode change while full screen rebuilds at once.
  ASSERT_TRUE(view->DisplayModeStr("640x480x32"));
  EXPECT_EQ(CurrentDisplayMode().width, 640);

  view->SetFullScreen(false);
  EXPECT_FALSE(view->FullScreen());
  EXPECT_TRUE(view->Visible());
  EXPECT_EQ(CurrentDisplayMode(), desktop);
  RECT after{};
  GetWindowRect(form->Handle(), &after);
  EXPECT_EQ(after, before);
  EXPECT_EQ(view->GetWidth(), 64);
  ASSERT_NE(view->GetIDirect3DRMViewport2(), nullptr);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetWidth(), 64u);
}

// The full-screen frames are shown in the form's own pixels; back in a
// window the form shows what it paints, not the last full-screen frame.
TEST_F(ViewTest, LeavingFullScreenGivesTheFormItsOwnPixelsBack) {
  TKV3DView* view = MakeView();
  MakeScene();  // red
  view->SetScene(scene);
  view->SetCamera(camera);
  form->OnPaint = [this](TObject*) {
    form->Canvas()->Brush.Color = clLime;
    form->Canvas()->FillRect(RECT{0, 100, 160, 200});
  };
  form->Show();
  form->Invalidate();
  auto formPixels = [&] {
    view->Render();
    for (int i = 0; i < 5; ++i) Application().ProcessMessages();
    return kv::ddraw::ReadWindowPixels(form->Handle());
  };
  const kv::ddraw::PixelImage before = formPixels();
  ASSERT_GT(before.width, 200);
  ASSERT_EQ(before.At(100, 150), 0x00FF00u);  // painted by the form
  ASSERT_NE(before.At(250, 50), 0xFF0000u);   // left alone
  ASSERT_EQ(before.At(10, 10), 0xFF0000u);    // the view
  for (const char* mode : {"800x600x32", "800x600x16"}) {
    ASSERT_TRUE(view->DisplayModeStr(mode));
    view->SetFullScreen(true);
    ASSERT_TRUE(WaitForChange(view));
    EXPECT_EQ(formPixels().At(250, 50), 0xFF0000u) << mode << ": the full-screen frame";
    view->SetFullScreen(false);
    ASSERT_TRUE(WaitForChange(view));
    const kv::ddraw::PixelImage after = formPixels();
    EXPECT_EQ(after.At(100, 150), before.At(100, 150)) << mode;
    EXPECT_EQ(after.At(250, 50), before.At(250, 50)) << mode;
    EXPECT_EQ(after.At(10, 10), 0xFF0000u) << mode;
  }
}

TEST_F(ViewTest, FullScreenAskedAndTakenBackBeforeTheLoopRunsStaysWindowed) {
  TKV3DView* view = MakeView();
  const DisplayModeInfo desktop = CurrentDisplayMode();
  view->SetAutoRender(true);
  ComPtr<IDirectDrawSurface4> back(view->BackSurface());
  bool everFullScreen = false;
  view->OnFlip = [&](TObject*) { everFullScreen = everFullScreen || view->FullScreen(); };
  // The loop cannot run its change before the main thread serves it.
  view->SetFullScreen(true);
  view->SetFullScreen(false);
  EXPECT_FALSE(view->CanGet());
  ASSERT_TRUE(WaitForChange(view));
  EXPECT_TRUE(view->CanGet());
  EXPECT_FALSE(view->FullScreen());
  EXPECT_FALSE(view->FullScreenRequest());
  EXPECT_FALSE(everFullScreen);
  EXPECT_EQ(CurrentDisplayMode(), desktop);
  EXPECT_NE(view->BackSurface(), back.Get());  // rebuilt, windowed
  EXPECT_TRUE(view->Visible());
}

TEST_F(ViewTest, FreedSceneAndCameraLeaveTheView) {
  TKV3DView* view = MakeView();
  MakeScene();
  view->SetScene(scene);
  view->SetCamera(camera);
  delete camera;
  camera = nullptr;
  EXPECT_EQ(view->Camera(), nullptr);
  EXPECT_FALSE(view->Render());  // presented; nothing is drawn through the old camera
  delete scene;
  scene = nullptr;
  EXPECT_EQ(view->Scene(), nullptr);
  view->Update3D();
  EXPECT_FALSE(view->Render());
}

TEST_F(ViewTest, FramesFindTheViewOfTheirSceneAndFollowItOnScreen) {
  TKV3DView* view = MakeView(200, 200);
  MakeScene();
  auto* ball = new TKV3DFrame(form.get());
  ball->SetParentFrame(scene);
  ball->Position()->SetZ(10.0f);
  EXPECT_EQ(ball->GetIViewport(), nullptr);  // no view shows the scene yet
  view->SetScene(scene);
  view->SetCamera(camera);
  ASSERT_NE(view->GetIDirect3DRMViewport2(), nullptr);
  EXPECT_EQ(ball->GetIViewport(), view->GetIDirect3DRMViewport2());
  EXPECT_EQ(FindSceneViewport(ball), view->GetIDirect3DRMViewport2());

  // The camera stands at z = -10, the ball at z = 10 on the axis: the
  // middle of the viewport.
  EXPECT_NEAR(ball->Position()->GetViewX(), 100.0f, 0.5f);
  EXPECT_NEAR(ball->Position()->GetViewY(), 100.0f, 0.5f);
  ball->Position()->SetViewX(150.0f);
  EXPECT_NEAR(ball->Position()->GetViewX(), 150.0f, 0.05f);
  EXPECT_NEAR(ball->Position()->GetViewY(), 100.0f, 0.05f);
  EXPECT_NEAR(ball->Position()->GetZ(), 10.0f, 1e-3f);  // depth unchanged
  EXPECT_GT(ball->Position()->GetX(), 0.0f);
  ball->Position()->SetViewY(40.0f);
  EXPECT_NEAR(ball->Position()->GetViewY(), 40.0f, 0.05f);
  EXPECT_NEAR(ball->Position()->GetViewX(), 150.0f, 0.05f);

  // A frame of another scene is shown by no view.
  auto* other = new TKV3DScene(form.get());
  auto* stranger = new TKV3DFrame(form.get());
  stranger->SetParentFrame(other);
  EXPECT_EQ(stranger->GetIViewport(), nullptr);
}

}  // namespace
}  // namespace kvtest
