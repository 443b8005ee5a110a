// Frames written to a form and read back: into new components they come
// back where they were however often that is done, and read into the
// components that exist they end as they were written, whatever happened
// to them in between.
#include <string>

#include "FrameFixture.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"

using namespace kv;

namespace kvtest {
namespace {

// Where a frame is, as the form writes it: its placement properties.
struct Placement {
  D3DVECTOR position, velocity, dir, up, spinAxis;
  float spinAngle;
};

Placement PlacementOf(TKV3DCustomFrame* f) {
  TKV3DOrientation* o = f->Orientation();
  TKV3DRotation* r = f->Rotation();
  return {{f->Position()->GetX(), f->Position()->GetY(), f->Position()->GetZ()},
          {f->Velocity()->GetX(), f->Velocity()->GetY(), f->Velocity()->GetZ()},
          {o->GetDirX(), o->GetDirY(), o->GetDirZ()},
          {o->GetUpX(), o->GetUpY(), o->GetUpZ()},
          {r->GetX(), r->GetY(), r->GetZ()},
          r->GetAngle()};
}

#define EXPECT_SAME_PLACEMENT(a, b)                                          \
  do {                                                                       \
    const Placement pa_ = (a), pb_ = (b);                                    \
    EXPECT_VEC(pa_.position, pb_.position.x, pb_.position.y, pb_.position.z); \
    EXPECT_VEC(pa_.velocity, pb_.velocity.x, pb_.velocity.y, pb_.velocity.z); \
    EXPECT_VEC(pa_.dir, pb_.dir.x, pb_.dir.y, pb_.dir.z);                     \
    EXPECT_VEC(pa_.up, pb_.up.x, pb_.up.y, pb_.up.z);                         \
    EXPECT_VEC(pa_.spinAxis, pb_.spinAxis.x, pb_.spinAxis.y, pb_.spinAxis.z); \
    EXPECT_NEAR(pa_.spinAngle, pb_.spinAngle, kTol);                         \
  } while (0)

std::string Written(TComponent* root) {
  std::string text;
  EXPECT_TRUE(WriteComponentText(root, text)) << LastErrorText();
  return text;
}

TEST_F(FrameTest, FramesComeBackWhereTheyWereHoweverOftenTheyAreWrittenAndRead) {
  // A camera starts at z -10, which is left out of the form: whatever the
  // length of the vector, the components alone place it.
  struct Row {
    const char* what;
    bool camera;
    D3DVECTOR position, velocity;
  };
  const Row rows[] = {
      {"camera beside its start", true, {3, 0, -10}, {0, 0, 0}},
      {"camera at the origin", true, {0, 0, 0}, {0, 0, 0}},
      {"camera further back", true, {0, 0, -10.44f}, {0, 0, 0}},
      {"moving camera", true, {1, 2, -10}, {0, 0, -2}},
      {"frame", false, {3, 4, 0}, {0.5f, 0, 0}},
      {"frame behind the origin", false, {0, 0, -10}, {0, 0, 0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto source = std::make_unique<TForm>(nullptr);
    TKV3DCustomFrame* f = row.camera ? static_cast<TKV3DCustomFrame*>(new TKV3DCamera(source.get()))
                                     : new TKV3DFrame(source.get());
    f->SetName("F");
    f->Position()->SetX(row.position.x);
    f->Position()->SetY(row.position.y);
    f->Position()->SetZ(row.position.z);
    f->Velocity()->SetX(row.velocity.x);
    f->Velocity()->SetZ(row.velocity.z);
    const Placement start = PlacementOf(f);
    std::string text = Written(source.get());
    EXPECT_EQ(text.find("Modulus"), std::string::npos) << text;
    for (int round = 0; round < 3; ++round) {
      auto copy = ReadComponentText(text, "copy.kvf");
      ASSERT_NE(copy, nullptr) << LastErrorText() << "\n" << text;
      auto* back = static_cast<TKV3DCustomFrame*>(copy->FindComponent("F"));
      ASSERT_NE(back, nullptr);
      EXPECT_SAME_PLACEMENT(PlacementOf(back), start);
      const std::string again = Written(copy.get());
      EXPECT_EQ(again, text);  // nothing drifts from one save to the next
      text = again;
    }
  }
}

TEST_F(FrameTest, AStreamedModulusSetsTheLengthOnlyWhereNoComponentIsGiven) {
  // Forms written before Modulus was left out still hold it before X, Y
  // and Z; the components decide. Given alone, it sets the length of the
  // vector the frame starts with.
  const char* text = R"(object Form1: TForm
  object Old: TKV3DCamera
    Position.Modulus = 10.440307
    Position.X = 3.0
  end
  object Alone: TKV3DCamera
    Position.Modulus = 20.0
  end
  object Moving: TKV3DFrame
    Velocity.Modulus = 4.0
    Velocity.Y = 2.0
  end
end
)";
  ASSERT_TRUE(ReadComponentText(text, "old.kvf", form.get())) << LastErrorText();
  auto position = [&](const char* name) {
    TKV3DPosition* p = static_cast<TKV3DCustomFrame*>(form->FindComponent(name))->Position();
    return D3DVECTOR{p->GetX(), p->GetY(), p->GetZ()};
  };
  EXPECT_VEC(position("Old"), 3, 0, -10);
  EXPECT_VEC(position("Alone"), 0, 0, -20);
  TKV3DVelocity* v = static_cast<TKV3DFrame*>(form->FindComponent("Moving"))->Velocity();
  EXPECT_VEC((D3DVECTOR{v->GetX(), v->GetY(), v->GetZ()}), 0, 2, 0);
}

TEST_F(FrameTest, AFormReadIntoExistingFramesGivesBackWhatWasWritten) {
  TKV3DFrame* base = Make("Base");
  base->Position()->SetX(10);
  TKV3DFrame* f = Make("F");
  f->Position()->SetX(3);
  f->SetDirOrientation({0.6f, 0, 0.8f}, {0, 1, 0});
  auto* cam = Make<TKV3DCamera>("Cam");
  cam->Position()->SetX(1);
  TKV3DFrame* loose = Make("Loose");
  const Placement fWritten = PlacementOf(f);
  const Placement camWritten = PlacementOf(cam);
  const D3DVECTOR looseWorld = World(loose);
  const std::string text = Written(form.get());

  // Everything a form leaves out because it was at its default changes.
  f->Position()->SetX(0);
  f->Position()->SetZ(7);
  f->Orientation()->SetAngleRotY(60);
  f->Rotation()->SetY(1);
  f->Rotation()->SetAngle(5);
  f->Velocity()->SetZ(2);
  cam->Position()->SetZ(4);
  cam->Orientation()->SetAngleRotX(20);
  loose->SetParentFrame(base);
  loose->SetParentUpdate(false);
  ASSERT_TRUE(ReadComponentText(text, "back.kvf", form.get())) << LastErrorText();
  EXPECT_EQ(form->ComponentCount(), 4);
  EXPECT_SAME_PLACEMENT(PlacementOf(f), fWritten);
  EXPECT_SAME_PLACEMENT(PlacementOf(cam), camWritten);
  EXPECT_EQ(loose->ParentFrame(), nullptr);
  EXPECT_TRUE(loose->ParentUpdate());
  EXPECT_VEC(World(loose), looseWorld.x, looseWorld.y, looseWorld.z);
  EXPECT_EQ(Written(form.get()), text);
}

TEST_F(FrameTest, AFormWithoutAnOrientationTurnsAnExistingFrameBack) {
  TKV3DFrame* f = Make("F");
  f->Orientation()->SetAngleRotY(90);
  const char* text = "object Form1: TForm\n  object F: TKV3DFrame\n    Position.X = 1.0\n  end\nend\n";
  ASSERT_TRUE(ReadComponentText(text, "plain.kvf", form.get())) << LastErrorText();
  EXPECT_VEC(Dir(f), 0, 0, 1);
  EXPECT_VEC(Up(f), 0, 1, 0);
}

TEST_F(FrameTest, AFailedReadIntoExistingFramesLeavesThemAsTheyWere) {
  TKV3DFrame* base = Make("Base");
  base->Position()->SetY(2);
  TKV3DFrame* f = Make("F");
  f->SetParentFrame(base);
  f->Position()->SetX(4);
  f->Orientation()->SetAngleRotY(45);
  f->Rotation()->SetX(1);
  f->Rotation()->SetAngle(3);
  f->Velocity()->SetZ(-1);
  const Placement before = PlacementOf(f);
  const D3DVECTOR world = World(f);
  const char* bad = R"(object Form1: TForm
  object F: TKV3DFrame
    Position.X = 9.0
    Orientation.DirX = 1.0
    ParentFrame = Nowhere
  end
end
)";
  EXPECT_FALSE(ReadComponentText(bad, "bad.kvf", form.get()));
  EXPECT_NE(LastErrorText().find("bad.kvf:5"), std::string::npos) << LastErrorText();
  EXPECT_EQ(f->ParentFrame(), base);
  EXPECT_SAME_PLACEMENT(PlacementOf(f), before);
  EXPECT_VEC(World(f), world.x, world.y, world.z);
}

}  // namespace
}  // namespace kvtest
