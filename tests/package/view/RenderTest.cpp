// Drawing a frame: the five steps with their GDI events, presentation with
// its failures, manual and automatic rendering, the frame rate, and ending a
// view that renders.
#include <sys/resource.h>

#include <cfenv>

#include <atomic>
#include <utility>

#include "ViewFixture.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/platform/win/Gdi.h"

using namespace kv;

namespace kvtest {
namespace {

using kv::ddraw::ReadWindowPixels;

class RenderTest : public ViewTest {
 protected:
  // A view of 64x48 showing a red scene.
  TKV3DView* MakeRenderingView() {
    TKV3DView* view = MakeView(64, 48);
    MakeScene(clRed);
    view->SetScene(scene);
    view->SetCamera(camera);
    return view;
  }
};

TEST_F(RenderTest, FrameShowsBackgroundAndBothGDILayersInTheWindow) {
  TKV3DView* view = MakeRenderingView();
  std::vector<std::string> steps;
  view->OnFlip = [&](TObject*) { steps.push_back("flip"); };
  view->OnDrawBackGDI = [&](TObject* sender, HDC dc) {
    steps.push_back("back");
    ASSERT_EQ(sender, view);
    ASSERT_EQ(view->Canvas()->Handle(), dc);
    view->Canvas()->Brush.Color = clBlue;
    view->Canvas()->FillRect(RECT{0, 0, 10, 10});
  };
  view->OnDrawFrontGDI = [&](TObject*, HDC) {
    steps.push_back("front");
    view->Canvas()->Brush.Color = clLime;
    view->Canvas()->FillRect(RECT{20, 0, 30, 10});
  };
  EXPECT_FALSE(view->Render());  // presented
  EXPECT_EQ(steps, (std::vector<std::string>{"flip", "back", "front"}));
  EXPECT_EQ(view->Canvas()->Handle(), nullptr);

  const auto shown = ReadWindowPixels(view->Handle());
  ASSERT_EQ(shown.width, 64);
  ASSERT_EQ(shown.height, 48);
  EXPECT_EQ(shown.At(5, 5), 0x0000FFu);    // under the image
  EXPECT_EQ(shown.At(25, 5), 0x00FF00u);   // over it
  EXPECT_EQ(shown.At(40, 30), 0xFF0000u);  // the scene's background
}

// With no handler between the clear and the render, the clear is done as
// the scene is drawn; a back-GDI handler still finds the surface cleared
// (not the last frame), and what is presented is what was drawn.
TEST_F(RenderTest, TheBackGDIEventFindsTheSurfaceClearedAndTheWindowShowsTheDrawnFrame) {
  TKV3DView* view = MakeRenderingView();
  const auto wholeLime = [&](TObject*, HDC) {
    view->Canvas()->Brush.Color = clLime;
    view->Canvas()->FillRect(RECT{0, 0, 64, 48});
  };
  const auto sameAsBack = [&] {
    const auto back = kv::ddraw::ReadSurfacePixels(view->BackSurface());
    const auto shown = ReadWindowPixels(view->Handle());
    return back.width == 64 && back.height == 48 && back.pixels == shown.pixels;
  };
  view->OnDrawFrontGDI = wholeLime;
  EXPECT_FALSE(view->Render());
  EXPECT_EQ(ReadWindowPixels(view->Handle()).At(40, 30), 0x00FF00u);

  COLORREF seen = CLR_INVALID;
  view->OnDrawBackGDI = [&](TObject*, HDC dc) { seen = GetPixel(dc, 40, 30); };
  EXPECT_FALSE(view->Render());
  EXPECT_EQ(seen, RGB(255, 0, 0));
  EXPECT_TRUE(sameAsBack());

  view->OnDrawBackGDI = nullptr;
  view->OnDrawFrontGDI = nullptr;
  for (int frame = 0; frame < 2; ++frame) {
    EXPECT_FALSE(view->Render());
    EXPECT_EQ(ReadWindowPixels(view->Handle()).At(40, 30), 0xFF0000u) << "frame " << frame;
    EXPECT_TRUE(sameAsBack()) << "frame " << frame;
  }
  // A frame drawn with the last frame's lime still on the surface:
  // cleared all the same.
  view->OnDrawFrontGDI = wholeLime;
  EXPECT_FALSE(view->Render());
  view->OnDrawFrontGDI = nullptr;
  EXPECT_FALSE(view->Render());
  EXPECT_EQ(ReadWindowPixels(view->Handle()).At(40, 30), 0xFF0000u);
  EXPECT_TRUE(sameAsBack());
}

TEST_F(RenderTest, SceneAdvancesByRenderDeltaAndUpdate3DByOne) {
  TKV3DView* view = MakeRenderingView();
  auto* ball = new TKV3DFrame(form.get());
  ball->SetParentFrame(scene);
  ball->Velocity()->SetX(1.0f);
  int moves = 0;
  ball->OnMove = [&](TObject*) { ++moves; };

  view->SetRenderDelta(2.5f);
  view->Render();
  EXPECT_FLOAT_EQ(ball->Position()->GetX(), 2.5f);
  view->Update3D();  // always 1.0, no events besides the move
  EXPECT_FLOAT_EQ(ball->Position()->GetX(), 3.5f);
  view->SetRenderDelta(0.0f);
  view->Render();
  EXPECT_FLOAT_EQ(ball->Position()->GetX(), 3.5f);
  EXPECT_EQ(moves, 3);
  EXPECT_EQ(ReadWindowPixels(view->Handle()).At(40, 30), 0xFF0000u);  // still cleared and shown
}

TEST_F(RenderTest, LostSurfaceIsRestoredAndTheFrameDropped) {
  TKV3DView* view = MakeRenderingView();
  std::vector<HRESULT> errors;
  view->OnFlipError = [&](TObject*, HRESULT error) { errors.push_back(error); };
  kv::ddraw::MakeSurfaceLost(view->PrimarySurface());
  EXPECT_TRUE(view->Flip());  // nothing presented
  EXPECT_EQ(errors, std::vector<HRESULT>{DDERR_SURFACELOST});
  EXPECT_FALSE(view->Flip());  // restored: the next frame is shown
  EXPECT_EQ(errors.size(), 1u);
}

TEST_F(RenderTest, FailingCopyIsReportedWithTheErrorTextAndRetriedABoundedNumberOfTimes) {
  TKV3DView* view = MakeRenderingView();
  int errors = 0;
  // Every attempt fails: the handler arms the next failure.
  view->OnFlipError = [&](TObject*, HRESULT error) {
    EXPECT_EQ(error, DDERR_INVALIDRECT);
    if (++errors < 100) kv::ddraw::FailNextBlt(DDERR_INVALIDRECT);
  };
  kv::ddraw::FailNextBlt(DDERR_INVALIDRECT);
  EXPECT_TRUE(view->Flip());
  EXPECT_EQ(errors, TKV3DView::kMaxPresentAttempts);
  const auto boxes = kv::platform::RecordedMessageBoxes();
  ASSERT_EQ(boxes.size(), static_cast<std::size_t>(TKV3DView::kMaxPresentAttempts));
  EXPECT_EQ(boxes[0].caption, "DirectX Message - Blt");
  EXPECT_EQ(boxes[0].text, "DDERR_INVALIDRECT: The provided rectangle was invalid.");  // kverror's text
  kv::ddraw::ResetHeadlessDisplay();  // drop the failure the handler armed last
}

TEST_F(RenderTest, ManualFrameRateIsCountedByRender) {
  TKV3DView* view = MakeRenderingView();
  // Presentation waits for the 60 Hz vertical blank; a window of just over
  // a second closes the first sample.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2300);
  while (std::chrono::steady_clock::now() < end) view->Render();
  EXPECT_GT(view->GetFPS(), 5);
  EXPECT_LE(view->GetFPS(), 62);
  EXPECT_EQ(view->RenderLoop()->FPS(), 0);
}

TEST_F(RenderTest, LoopRendersNearTheVerticalBlankRateAndStopsWhenAsked) {
  TKV3DView* view = MakeRenderingView();
  std::atomic<int> flips{0};
  view->OnFlip = [&](TObject*) { ++flips; };
  view->SetAutoRender(true);
  view->SetAutoRender(true);  // no second start
  PumpFor(std::chrono::milliseconds(2300));
  const int fps = view->GetFPS();
  EXPECT_GT(fps, 10);  // generous: the machine may be loaded
  EXPECT_LE(fps, 62);
  EXPECT_GT(flips.load(), 10);
  EXPECT_EQ(ReadWindowPixels(view->Handle()).At(40, 30), 0xFF0000u);

  view->SetAutoRender(false);
  PumpFor(std::chrono::milliseconds(50));
  const int stopped = flips.load();
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_EQ(flips.load(), stopped);
  EXPECT_EQ(view->RenderLoop()->FPS(), 0);
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(RenderTest, IdleLoopWaitsInsteadOfSpinning) {
  TKV3DView* view = MakeRenderingView();
  ASSERT_NE(view->RenderLoop(), nullptr);
  const double before = ProcessCpuSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_LT(ProcessCpuSeconds() - before, 0.2);
}

TEST_F(RenderTest, PaintAndSizeMessagesFireTheirEvents) {
  TKV3DView* view = MakeRenderingView();
  int paints = 0;
  int resizes = 0;
  view->OnPaint = [&](TObject*) { ++paints; };
  view->OnResize = [&](TObject*) { ++resizes; };
  view->Invalidate();
  ASSERT_TRUE(PumpUntil([&] { return paints > 0; }));
  view->SetBounds(0, 0, 70, 50);
  PumpFor(std::chrono::milliseconds(20));
  EXPECT_EQ(resizes, 1);
  ASSERT_NE(view->GetIDirect3DRMViewport2(), nullptr);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetWidth(), 70u);  // the chain followed the window
}

TEST_F(RenderTest, ViewFreedWhileItsLoopWaitsForTheMainThreadSkipsThatStep) {
  TKV3DView* view = MakeRenderingView();
  int flips = 0;
  view->OnFlip = [&](TObject*) { ++flips; };
  auto* ball = new TKV3DFrame(form.get());
  ball->SetParentFrame(scene);
  ball->Velocity()->SetX(1.0f);
  // Nobody serves the main thread: the loop now waits inside its first step.
  view->SetAutoRender(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  view->SetAutoRender(false);
  PumpFor(std::chrono::milliseconds(50));  // the waiting frame is not drawn
  EXPECT_EQ(flips, 0);
  EXPECT_EQ(ball->Position()->GetX(), 0.0f);

  view->SetAutoRender(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  delete view;  // serves the waiting step, which sees the stop and does nothing
  EXPECT_EQ(flips, 0);
  EXPECT_EQ(ball->Position()->GetX(), 0.0f);
}

TEST_F(RenderTest, ViewFreedWhileRenderingStopsInOrder) {
  for (int round = 0; round < 3; ++round) {
    TKV3DView* view = MakeView(32, 32);
    if (round == 0) MakeScene(clRed);
    view->SetScene(scene);
    view->SetCamera(camera);
    std::atomic<int> flips{0};
    view->OnFlip = [&](TObject*) { ++flips; };
    view->OnDrawFrontGDI = [&](TObject*, HDC) {};
    view->SetAutoRender(true);
    ASSERT_TRUE(PumpUntil([&] { return flips.load() > 2; }));
    // The loop may be inside a synchronised step or drawing: either way it
    // finishes, releases the chain and is joined.
    delete view;
  }
  SUCCEED();
}

// A surface of the chain that lost its memory (the back surface, the depth
// buffer, the primary): one report (OnFlipError with DDERR_SURFACELOST, no
// message box), every lost surface restored, the frame dropped, and the
// frames after it shown again.
TEST_F(RenderTest, ALostSurfaceOfTheChainGivesOneReportAndDrawingResumes) {
  TKV3DView* view = MakeRenderingView();
  std::vector<HRESULT> errors;
  view->OnFlipError = [&](TObject*, HRESULT error) { errors.push_back(error); };
  const std::pair<const char*, IDirectDrawSurface4* (TKV3DView::*)() const> surfaces[] = {
      {"back surface", &TKV3DView::BackSurface},
      {"depth buffer", &TKV3DView::DepthBuffer},
      {"primary", &TKV3DView::PrimarySurface}};
  for (const auto& [name, surface] : surfaces) {
    SCOPED_TRACE(name);
    errors.clear();
    kv::platform::ClearRecordedMessageBoxes();
    EXPECT_FALSE(view->Render());
    kv::ddraw::MakeSurfaceLost((view->*surface)());
    EXPECT_TRUE(view->Render()) << "drawn into lost memory: dropped";
    EXPECT_EQ(errors, std::vector<HRESULT>{DDERR_SURFACELOST});
    for (int frame = 0; frame < 3; ++frame) EXPECT_FALSE(view->Render()) << "frame " << frame;
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_TRUE(kv::platform::RecordedMessageBoxes().empty());
    EXPECT_EQ(ReadWindowPixels(view->Handle()).At(40, 30), 0xFF0000u);
  }
}

// A view whose window goes while it renders (manually or on its loop) stops
// drawing without a word, and draws again once it has a window again.
TEST_F(RenderTest, AViewWithoutAWindowStopsQuietlyAndDrawsAgainInItsNewWindow) {
  TKV3DView* view = MakeRenderingView();
  std::atomic<int> errors{0};
  std::atomic<int> flips{0};
  view->OnFlipError = [&](TObject*, HRESULT) { ++errors; };
  view->OnFlip = [&](TObject*) { ++flips; };
  for (const bool autoRender : {false, true}) {
    SCOPED_TRACE(autoRender ? "AutoRender" : "Render");
    kv::platform::ClearRecordedMessageBoxes();
    view->SetAutoRender(autoRender);
    const auto render = [&](int frames) {
      if (!autoRender) {
        for (int i = 0; i < frames; ++i) view->Render();
        return;
      }
      const int target = flips.load() + frames;
      ASSERT_TRUE(PumpUntil([&] { return flips.load() >= target; }));
    };
    render(2);
    view->SetParent(nullptr);  // its window goes
    ASSERT_FALSE(view->HandleAllocated());
    render(4);
    EXPECT_EQ(errors.load(), 0);
    EXPECT_TRUE(kv::platform::RecordedMessageBoxes().empty());

    view->SetParent(form.get());  // a new window
    ASSERT_TRUE(view->HandleAllocated());
    render(4);
    if (autoRender) {
      ASSERT_TRUE(WaitForChange(view));
    }
    render(2);
    EXPECT_EQ(ReadWindowPixels(view->Handle()).At(40, 30), 0xFF0000u);
    EXPECT_EQ(errors.load(), 0);
    EXPECT_TRUE(kv::platform::RecordedMessageBoxes().empty());
  }
  view->SetAutoRender(false);
}

// Under manual rendering FPS counts the frames Render draws, and falls to 0
// once no frame has come for more than a second.
TEST_F(RenderTest, ManualFrameRateFallsToZeroASecondAfterTheLastFrame) {
  TKV3DView* view = MakeRenderingView();
  kv::platform::SetTickCountBias(0);
  for (int i = 0; i < 5; ++i) view->Render();
  kv::platform::SetTickCountBias(1100);
  view->Render();  // closes the sample of the frames before
  EXPECT_GT(view->GetFPS(), 0);
  kv::platform::SetTickCountBias(1100 + 900);
  EXPECT_GT(view->GetFPS(), 0) << "a frame came less than a second ago";
  kv::platform::SetTickCountBias(1100 + 1200);
  EXPECT_EQ(view->GetFPS(), 0);
  kv::platform::SetTickCountBias(0);
}

// The view renders with the processor's floating-point exceptions masked on
// every thread that draws, also in a program that enabled traps: a clipping
// plane a hair in front of the camera must not raise SIGFPE anywhere.
TEST_F(RenderTest, FloatingPointTrapsOfTheProgramDoNotReachRendering) {
  fenv_t saved;
  std::fegetenv(&saved);
  feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
  TKV3DView* view = MakeRenderingView();
  auto* object = new TKV3DObject(form.get());
  object->SetParentFrame(scene);
  object->Mesh()->SetActiveShape(stSphere);
  object->Position()->SetZ(5.0f);
  view->Plane()->SetFront(1e-10f);
  view->Render();
  std::atomic<int> flips{0};
  view->OnFlip = [&](TObject*) { ++flips; };
  view->SetAutoRender(true);
  EXPECT_TRUE(PumpUntil([&] { return flips.load() > 3; }));
  view->SetAutoRender(false);
  std::fesetenv(&saved);
}

// The public wait for the chain: it blocks in the main thread's wait, serving
// the loop's change, and returns as soon as the loop signals the chain built.
TEST_F(RenderTest, WaitUntilReadyReturnsOnceTheChainIsBuilt) {
  MakeScene(clRed);
  auto* view = new TKV3DView(form.get());
  view->SetParent(form.get());
  view->SetBounds(0, 0, 64, 48);
  view->SetScene(scene);
  view->SetCamera(camera);  // manual rendering: changes at once, the loop's first pass is still due
  EXPECT_FALSE(view->RenderLoop()->Ready());
  ASSERT_TRUE(view->WaitUntilReady()) << LastErrorText();
  EXPECT_TRUE(view->RenderLoop()->Ready());
  EXPECT_NE(view->GetIDirect3DRMViewport2(), nullptr);

  // Under automatic rendering the loop builds what a setter asks for.
  auto* other = new TKV3DCamera(form.get());
  other->SetParentFrame(scene);
  view->SetAutoRender(true);
  view->SetCamera(other);
  ASSERT_TRUE(view->WaitUntilReady()) << LastErrorText();
  EXPECT_TRUE(view->RenderLoop()->Ready());
  view->SetAutoRender(false);

  // Nothing pending: at once, whatever the time allowed.
  EXPECT_TRUE(view->WaitUntilReady(std::chrono::milliseconds(0)));
  view->RequestViewportChange();  // manual: done before it returns
  EXPECT_TRUE(view->WaitUntilReady(std::chrono::milliseconds(0)));
}

}  // namespace
}  // namespace kvtest
