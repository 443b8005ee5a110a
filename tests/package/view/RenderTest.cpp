// Drawing a frame: the five steps with their GDI events, presentation with
// its failures, manual and automatic rendering, the frame rate, and ending a
// view that renders.
#include <sys/resource.h>

#include <atomic>

#include "ViewFixture.h"

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

}  // namespace
}  // namespace kvtest
