// A view rendering on its loop thread while the main thread changes
// quality, plane, camera and frames: nothing races (run under the thread
// sanitizer), every change lands, and the view stops in order.

#include <atomic>
#include <cmath>
#include <thread>

#include "ViewFixture.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/objects/Kv3dwrap.h"

using namespace kv;

namespace kvtest {
namespace {

TEST_F(ViewTest, MainThreadChangesWhileTheLoopRenders) {
  TKV3DView* view = MakeView(48, 36);
  MakeScene(clTeal);
  auto* otherCamera = new TKV3DCamera(form.get());
  otherCamera->SetParentFrame(scene);
  otherCamera->Position()->SetZ(-20.0f);
  view->SetScene(scene);
  view->SetCamera(camera);

  std::atomic<int> moves{0};
  std::atomic<int> backDraws{0};
  auto* spinner = new TKV3DFrame(form.get());
  spinner->SetParentFrame(scene);
  spinner->Velocity()->SetX(0.01f);
  spinner->OnMove = [&](TObject*) { ++moves; };  // on the loop thread
  view->OnDrawBackGDI = [&](TObject*, HDC) { ++backDraws; };
  view->SetAutoRender(true);
  ASSERT_TRUE(PumpUntil([&] { return moves.load() > 3; }));

  for (int i = 0; i < 60; ++i) {
    switch (i % 6) {
      case 0: view->Quality()->SetShadeMode(i % 12 == 0 ? smFlat : smGouraud); break;
      case 1: view->Plane()->SetBack(100.0f + static_cast<float>(i)); break;
      case 2: view->SetCamera(view->Camera() == camera ? otherCamera : camera); break;
      case 3: spinner->Position()->SetY(static_cast<float>(i)); break;
      case 4: {
        auto* extra = new TKV3DFrame(form.get());
        extra->SetParentFrame(spinner);
        delete extra;
        break;
      }
      default: view->SetProjectionType(i % 12 == 5 ? ptOrthographic : ptPerspective); break;
    }
    view->CanGet();
    view->GetRenderMode();
    PumpFor(std::chrono::milliseconds(3));
  }
  ASSERT_TRUE(WaitForChange(view));
  const int drawnBefore = backDraws.load();
  ASSERT_TRUE(PumpUntil([&] { return backDraws.load() > drawnBefore + 2; }));
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetBack(), 155.0f);
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetQuality(), 0x89u);
  EXPECT_FLOAT_EQ(spinner->Position()->GetY(), 57.0f);
  delete view;  // stops while rendering
}

// The loop moves the scene on its own thread while the main thread frees
// chrome-wrapped, turning objects: each object's move step reads its mesh and
// wrap, so a Move at the moment of the free must never reach a freed part
// (run under the address and thread sanitizers).
TEST_F(ViewTest, ObjectsFreedWhileTheLoopMovesThem) {
  TKV3DView* view = MakeView(32, 24);
  MakeScene(clNavy);
  view->SetScene(scene);
  view->SetCamera(camera);
  std::atomic<int> moves{0};
  const auto makeObject = [&](int i) {
    auto* object = new TKV3DObject(form.get());
    object->SetParentFrame(scene);
    object->Mesh()->SetActiveShape(i % 2 == 0 ? stSphere : stCube);
    object->Wrap()->SetType(twChrome);
    object->Position()->SetZ(5.0f + static_cast<float>(i % 4));
    object->Rotation()->SetY(1.0f);
    object->Rotation()->SetAngle(3.0f);
    object->OnMove = [&](TObject*) { ++moves; };  // on the loop thread
    return object;
  };
  std::vector<TKV3DObject*> objects;
  for (int i = 0; i < 4; ++i) objects.push_back(makeObject(i));
  view->SetAutoRender(true);
  ASSERT_TRUE(PumpUntil([&] { return moves.load() > 8; }));

  for (int i = 0; i < 40; ++i) {
    // Freed without waiting for the loop, at whatever point its frame is.
    delete objects[static_cast<std::size_t>(i % 4)];
    objects[static_cast<std::size_t>(i % 4)] = makeObject(i);
    if (i % 8 == 0) PumpFor(std::chrono::milliseconds(2));
  }
  const int movedBefore = moves.load();
  ASSERT_TRUE(PumpUntil([&] { return moves.load() > movedBefore + 8; }));
  for (TKV3DObject* object : objects) delete object;
  PumpFor(std::chrono::milliseconds(20));  // the loop goes on without them
  delete view;
}

// A handler that frees its own view while the loop waits for it: the free
// returns (it cannot join a loop that waits for the handler), the loop ends
// without touching the freed view and frees itself, and the form goes on.
TEST_F(ViewTest, ViewFreedFromItsOwnFrameHandlers) {
  MakeScene(clGreen);
  for (const bool fromError : {false, true}) {
    SCOPED_TRACE(fromError ? "OnFlipError" : "OnFlip");
    TKV3DView* view = MakeView(32, 24);
    view->SetScene(scene);
    view->SetCamera(camera);
    const int components = form->ComponentCount();
    bool freed = false;
    int frames = 0;
    const auto freeView = [&] {
      delete view;
      freed = true;
    };
    if (fromError) {
      view->OnFlip = [&](TObject*) {
        if (++frames == 3) kv::ddraw::FailNextBlt(DDERR_INVALIDRECT);
      };
      view->OnFlipError = [&](TObject*, HRESULT) { freeView(); };
    } else {
      view->OnFlip = [&](TObject*) {
        if (++frames == 3) freeView();
      };
    }
    view->SetAutoRender(true);
    ASSERT_TRUE(PumpUntil([&] { return freed; }));
    EXPECT_EQ(form->ComponentCount(), components - 1);
    PumpFor(std::chrono::milliseconds(50));  // the abandoned loop ends and is freed
  }
  kv::ddraw::ResetHeadlessDisplay();
}

// The turning tool and the rotation steps turn a frame while the loop moves
// the scene: each turn is whole before and after any Move of the loop, so
// the frame ends exactly where the turns take it, and the loop's Moves fire
// the frame's OnMove once each, as they do the scene's.
TEST_F(ViewTest, TurnsAreAtomicWithTheLoopsMoves) {
  TKV3DView* view = MakeView(32, 24);
  MakeScene(clNavy);
  view->SetScene(scene);
  view->SetCamera(camera);
  auto* turned = new TKV3DFrame(form.get());
  turned->SetParentFrame(scene);
  auto* child = new TKV3DFrame(form.get());
  child->SetParentFrame(turned);
  const std::thread::id mainThread = std::this_thread::get_id();
  std::atomic<int> sceneMoves{0}, turnedMoves{0}, childMoves{0};
  scene->OnMove = [&](TObject*) { ++sceneMoves; };
  turned->OnMove = [&](TObject*) {
    if (std::this_thread::get_id() != mainThread) ++turnedMoves;
  };
  child->OnMove = [&](TObject*) {
    if (std::this_thread::get_id() != mainThread) ++childMoves;
  };
  view->SetAutoRender(true);
  ASSERT_TRUE(PumpUntil([&] { return sceneMoves.load() > 2; }));

  // Heading of the frame's direction about the scene's y axis, in degrees.
  const auto heading = [&] {
    TKV3DOrientation* o = turned->Orientation();
    return std::atan2(o->GetDirX(), o->GetDirZ()) * 180.0 / 3.14159265358979;
  };
  const auto sameHeading = [](double a, double b) {
    const double d = std::remainder(a - b, 360.0);
    return std::fabs(d) < 0.5;
  };
  for (const bool tool : {true, false}) {
    SCOPED_TRACE(tool ? "AngleRotY" : "RotBetha");
    const double start = heading();
    int turns = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < end) {
      if (tool) {
        turned->Orientation()->SetAngleRotY(1.0f);
      } else {
        turned->RotBetha(1);
      }
      ++turns;
      Application().ProcessMessages();  // the loop's steps on the main thread
    }
    EXPECT_TRUE(sameHeading(heading(), start + turns)) << heading() << " after " << turns << " turns from " << start;
  }
  view->SetAutoRender(false);
  // A Move the loop had begun finishes with the frame and its child.
  PumpUntil([&] { return turnedMoves.load() == sceneMoves.load() && childMoves.load() == sceneMoves.load(); });
  EXPECT_GT(sceneMoves.load(), 10);
  EXPECT_EQ(turnedMoves.load(), sceneMoves.load());
  EXPECT_EQ(childMoves.load(), sceneMoves.load());
}

}  // namespace
}  // namespace kvtest
