// Frames and cameras read from form files and written back, and frames
// moved on a second thread while the main thread changes them.
#include <atomic>
#include <thread>

#include "FrameFixture.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/host/Properties.h"

using namespace kv;

namespace kvtest {
namespace {

const char* kForm = R"(object Form1: TForm
  object Base: TKV3DFrame
    Position.X = 10.0
  end
  object Kept: TKV3DFrame
    ParentFrame = Base
    Position.X = 5.0
  end
  object World: TKV3DFrame
    ParentFrame = Base
    ParentUpdate = False
    Position.X = 5.0
  end
  object Turned: TKV3DFrame
    Orientation.AngleRotY = 45.0
    Orientation.DirX = 1.0
    Orientation.DirZ = 0.0
    Orientation.UpY = 1.0
    OnMove = FrameMoved
  end
  object Cam: TKV3DCamera
    ParentFrame = Base
    Rotation.Y = 1.0
    Rotation.Angle = 3.0
  end
end
)";

TEST_F(FrameTest, LoadingFromAFormPlacesAndParents) {
  int moved = 0;
  form->RegisterMethod("FrameMoved", [&](TObject*) { ++moved; });
  ASSERT_TRUE(ReadComponentText(kForm, "frames.kvf", form.get())) << LastErrorText();
  auto* base = static_cast<TKV3DFrame*>(form->FindComponent("Base"));
  auto* kept = static_cast<TKV3DFrame*>(form->FindComponent("Kept"));
  auto* world = static_cast<TKV3DFrame*>(form->FindComponent("World"));
  auto* turned = static_cast<TKV3DFrame*>(form->FindComponent("Turned"));
  auto* cam = static_cast<TKV3DCamera*>(form->FindComponent("Cam"));
  ASSERT_TRUE(base && kept && world && turned && cam);
  EXPECT_EQ(kept->ParentFrame(), base);
  EXPECT_VEC(World(kept), 15, 0, 0);
  EXPECT_NEAR(kept->Position()->GetX(), 5, kTol);
  // A form holds placements relative to the parent, with ParentUpdate false too.
  EXPECT_VEC(World(world), 15, 0, 0);
  EXPECT_NEAR(world->Position()->GetX(), 5, kTol);
  // Streamed angles are dropped; the streamed vectors decide.
  EXPECT_EQ(turned->Orientation()->AngleRotY(), 0);
  EXPECT_VEC(Dir(turned), 1, 0, 0);
  turned->GetIDirect3DRMFrame3()->Move(1);
  EXPECT_EQ(moved, 1);
  EXPECT_VEC(World(cam), 10, 0, -10);
  EXPECT_NEAR(cam->Rotation()->GetAngle(), 3, kTol);
}

TEST_F(FrameTest, PublishedPropertiesInOrder) {
  auto names = [](const TClassInfo& c) {
    std::vector<std::string> n;
    for (const PropInfo& p : c.Properties()) n.push_back(p.name);
    return n;
  };
  EXPECT_EQ(names(TKV3DFrame::StaticClass()),
            (std::vector<std::string>{"Name", "Tag", "ParentFrame", "ParentUpdate", "Position", "Rotation",
                                      "Orientation", "Velocity", "OnMove"}));
  EXPECT_EQ(names(TKV3DCamera::StaticClass()), (std::vector<std::string>{"Name", "Tag", "OnMove", "ParentFrame",
                                                                         "Position", "Rotation", "Orientation",
                                                                         "Velocity"}));
  EXPECT_EQ(names(TKV3DPosition::StaticClass()),
            (std::vector<std::string>{"Modulus", "X", "Y", "Z", "ViewX", "ViewY"}));
  EXPECT_EQ(names(TKV3DOrientation::StaticClass()),
            (std::vector<std::string>{"Reset", "AngleRotSelf", "AngleRotX", "AngleRotY", "AngleRotZ", "DirX",
                                      "DirY", "DirZ", "UpX", "UpY", "UpZ"}));
}

TEST_F(FrameTest, EveryPublishedPropertyRoundTrips) {
  int dummy = 0;
  form->RegisterMethod("Moved", [&](TObject*) { ++dummy; });
  // The parent is placed and turned, so a frame that came back at its world
  // numbers instead of its local ones would be seen.
  TKV3DFrame* base = Make("Base");
  base->Position()->SetX(10);
  base->Orientation()->SetAngleRotY(90);
  TKV3DFrame* f = Make("F");
  f->SetParentUpdate(false);
  f->SetParentFrame(base);
  f->Position()->SetX(1.5f);
  f->Position()->SetY(-2);
  f->Position()->SetZ(3);
  f->Rotation()->SetZ(1);
  f->Rotation()->SetAngle(12);
  f->Velocity()->SetX(0.25f);
  f->Orientation()->SetAngleRotY(30);
  SetPropText(*f, "OnMove", "Moved");
  auto* cam = Make<TKV3DCamera>("Cam");
  cam->Position()->SetZ(0);  // a camera placed at z 0 must stay there
  cam->Position()->SetY(4);
  SetPropText(*cam, "OnMove", "Moved");

  std::string text;
  ASSERT_TRUE(WriteComponentText(form.get(), text)) << LastErrorText();
  auto copy = std::make_unique<TForm>(nullptr);
  copy->RegisterMethod("Moved", [&](TObject*) { ++dummy; });
  // The stored text names the form's class; read it into a fresh form.
  ASSERT_TRUE(ReadComponentText(text, "copy.kvf", copy.get())) << LastErrorText() << "\n" << text;
  auto* f2 = static_cast<TKV3DFrame*>(copy->FindComponent("F"));
  auto* cam2 = static_cast<TKV3DCamera*>(copy->FindComponent("Cam"));
  ASSERT_TRUE(f2 && cam2) << text;
  EXPECT_EQ(f2->ParentFrame(), copy->FindComponent("Base"));
  EXPECT_FALSE(f2->ParentUpdate());
  const D3DVECTOR world = World(f);
  EXPECT_VEC(World(f2), world.x, world.y, world.z);
  EXPECT_NEAR(f2->Position()->GetX(), 1.5, kTol);
  EXPECT_NEAR(f2->Position()->GetY(), -2, kTol);
  EXPECT_NEAR(f2->Position()->GetZ(), 3, kTol);
  EXPECT_NEAR(f2->Rotation()->GetZ(), 1, kTol);
  EXPECT_NEAR(f2->Rotation()->GetAngle(), 12, kTol);
  EXPECT_NEAR(f2->Velocity()->GetX(), 0.25, kTol);
  EXPECT_VEC(Dir(f2), Dir(f).x, Dir(f).y, Dir(f).z);
  EXPECT_VEC(Up(f2), Up(f).x, Up(f).y, Up(f).z);
  EXPECT_EQ(f2->OnMove.MethodName(), "Moved");
  EXPECT_NEAR(cam2->Position()->GetZ(), 0, kTol);
  EXPECT_NEAR(cam2->Position()->GetY(), 4, kTol);
  EXPECT_EQ(cam2->OnMove.MethodName(), "Moved");
}

TEST_F(FrameTest, BadFormValuesLeaveFramesIntact) {
  TKV3DFrame* f = Make("F");
  f->Position()->SetX(2);
  const char* bad = R"(object Form1: TForm
  object F: TKV3DFrame
    Position.X = 7.0
    Position.Y = NaN
  end
end
)";
  EXPECT_FALSE(ReadComponentText(bad, "bad.kvf", form.get()));
  EXPECT_NEAR(f->Position()->GetX(), 2, kTol);
}

TEST_F(FrameTest, MoveOnASecondThreadWhileTheMainThreadChangesFrames) {
  TKV3DFrame* root = Make();
  std::vector<TKV3DFrame*> frames;
  std::atomic<int> moves{0};
  for (int i = 0; i < 4; ++i) {
    TKV3DFrame* f = Make();
    f->SetParentFrame(root);
    f->Velocity()->SetX(0.01f);
    f->OnMove = [&](TObject*) { moves.fetch_add(1, std::memory_order_relaxed); };
    frames.push_back(f);
  }
  IDirect3DRMFrame3* engineRoot = root->GetIDirect3DRMFrame3();
  std::atomic<bool> stop{false};
  std::thread mover([&] {
    while (!stop.load()) engineRoot->Move(0.5f);
  });
  for (int n = 0; n < 300; ++n) {
    TKV3DFrame* f = frames[static_cast<std::size_t>(n) % frames.size()];
    f->Position()->SetY(static_cast<float>(n));
    f->Rotation()->SetY(1);
    f->Rotation()->SetAngle(static_cast<float>(n % 7));
    (void)f->Position()->GetX();
    f->RotBetha(1);
  }
  while (moves.load() < 8) std::this_thread::yield();
  stop = true;
  mover.join();
  EXPECT_GE(moves.load(), 8);
}

}  // namespace
}  // namespace kvtest
