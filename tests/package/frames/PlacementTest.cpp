// Placement property objects, the orientation tool, the rotation steps,
// relative placement and Clone.
#include "FrameFixture.h"

using namespace kv;

namespace kvtest {
namespace {

TEST_F(FrameTest, VectorSettersSendTheStoredTriple) {
  TKV3DFrame* f = Make();
  f->Position()->SetX(5);
  EXPECT_VEC(World(f), 5, 0, 0);
  // Moving by velocity, then setting X puts the other axes back to their
  // stored values (the engine is not read first).
  f->Velocity()->SetY(1);
  f->GetIDirect3DRMFrame3()->Move(1);
  EXPECT_VEC(World(f), 5, 1, 0);
  f->Position()->SetX(6);
  EXPECT_VEC(World(f), 6, 0, 0);
  // Non-finite values are refused and change nothing.
  f->Position()->SetY(std::nanf(""));
  f->Position()->SetZ(INFINITY);
  EXPECT_VEC(World(f), 6, 0, 0);
}

TEST_F(FrameTest, ModulusRescales) {
  TKV3DFrame* f = Make();
  TKV3DPosition* p = f->Position();
  p->SetX(3);
  p->SetY(4);
  EXPECT_FLOAT_EQ(p->GetModulus(), 5);
  p->SetModulus(10);
  EXPECT_VEC(World(f), 6, 8, 0);
  EXPECT_FLOAT_EQ(p->GetModulus(), 10);
  p->SetModulus(-5);
  EXPECT_VEC(World(f), -3, -4, 0);
  TKV3DVelocity* v = f->Velocity();
  v->SetModulus(7);  // a zero vector stays zero
  EXPECT_FLOAT_EQ(v->GetModulus(), 0);
}

TEST_F(FrameTest, RotationTravelsInDegrees) {
  TKV3DFrame* f = Make();
  f->Rotation()->SetY(1);
  f->Rotation()->SetAngle(90);
  D3DVECTOR axis{};
  D3DVALUE theta = 0;
  f->GetIDirect3DRMFrame3()->GetRotation(SharedRootFrame(), &axis, &theta);
  EXPECT_VEC(axis, 0, 1, 0);
  EXPECT_NEAR(theta, std::numbers::pi_v<float> / 2, 1e-6);
  EXPECT_NEAR(f->Rotation()->GetAngle(), 90, kTol);
  // Round trip through a relative getter and setter restores the spin.
  TKV3DFrame* other = Make();
  auto spin = f->GetRefRotation(other);
  ASSERT_NE(spin, nullptr);
  f->Rotation()->SetAngle(0);
  f->SetRefRotation(other, spin.get());
  EXPECT_NEAR(f->Rotation()->GetAngle(), 90, kTol);
}

TEST_F(FrameTest, DetachedObjectsOnlyStore) {
  TKV3DPosition p(nullptr);
  p.SetX(1);
  p.SetY(2);
  EXPECT_EQ(p.GetX(), 1);
  EXPECT_EQ(p.GetY(), 2);
  EXPECT_EQ(p.GetViewX(), 0);
  p.SetViewX(12);
  EXPECT_EQ(p.GetViewX(), 12);  // stored while no view shows it
  TKV3DOrientation o(nullptr);
  TKV3DFrame* f = Make();
  o.Assign(f->Orientation());  // a detached orientation cannot be assigned to
  EXPECT_EQ(o.GetDirZ(), 0);
  // Assigning a detached position into a live frame places it.
  f->SetPosition(&p);
  EXPECT_VEC(World(f), 1, 2, 0);
}

TEST_F(FrameTest, AssigningPositionsCopiesRelativeNumbers) {
  TKV3DFrame* parent = Make();
  parent->Position()->SetX(10);
  TKV3DFrame* a = Make();
  a->SetParentFrame(parent);
  a->Position()->SetX(1);  // world 11
  TKV3DFrame* b = Make();
  b->SetPosition(a->Position());
  EXPECT_VEC(World(b), 1, 0, 0);
}

TEST_F(FrameTest, RelativeGettersNeedBothFrames) {
  TKV3DFrame* f = Make();
  EXPECT_EQ(f->GetRefPosition(nullptr), nullptr);
  EXPECT_EQ(f->GetRefOrientation(nullptr), nullptr);
  f->SetRefPosition(nullptr, f->Position());  // no-op
  TKV3DFrame* parent = Make();
  parent->Position()->SetX(4);
  f->Position()->SetX(1);
  f->SetParentFrame(parent);
  auto p = f->GetRefPosition(parent);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->OwnerFrame(), nullptr);
  EXPECT_NEAR(p->GetX(), f->Position()->GetX(), kTol);
  auto o = f->GetRefOrientation(parent);
  EXPECT_VEC((D3DVECTOR{o->GetDirX(), o->GetDirY(), o->GetDirZ()}), 0, 0, 1);
}

TEST_F(FrameTest, RotationStepsTurnTheRightAxesAndStopTheSpin) {
  TKV3DFrame* f = Make();
  f->Rotation()->SetX(1);
  f->Rotation()->SetAngle(5);  // a spin the step stops
  f->RotBetha(90);              // about up: direction turns, up stays
  EXPECT_VEC(Up(f), 0, 1, 0);
  EXPECT_VEC(Dir(f), 1, 0, 0);
  EXPECT_NEAR(f->Rotation()->GetAngle(), 0, kTol);
  EXPECT_VEC((D3DVECTOR{f->Rotation()->GetX(), f->Rotation()->GetY(), f->Rotation()->GetZ()}), 0, 0, 0);
  f->RotBetha(-90);
  EXPECT_VEC(Dir(f), 0, 0, 1);
  f->RotGamma(90);  // about the direction: up turns
  EXPECT_VEC(Dir(f), 0, 0, 1);
  EXPECT_VEC(Up(f), -1, 0, 0);
  f->RotGamma(-90);
  f->RotAlpha(90);  // about the lateral axis: both turn
  EXPECT_VEC(Dir(f), 0, -1, 0);
  EXPECT_VEC(Up(f), 0, 0, 1);
}

TEST_F(FrameTest, RotationStepsMoveByVelocityAndFireOnMove) {
  TKV3DFrame* f = Make();
  int moves = 0;
  f->OnMove = [&](TObject*) { ++moves; };
  f->Velocity()->SetX(1);
  f->RotBetha(10);
  EXPECT_EQ(moves, 1);
  EXPECT_NEAR(World(f).x, 1, kTol);
  f->RotAlpha(10);
  EXPECT_EQ(moves, 3);
}

TEST_F(FrameTest, OrientationToolAboutReferenceAxes) {
  TKV3DFrame* f = Make();
  int moves = 0;
  f->OnMove = [&](TObject*) { ++moves; };
  f->Position()->SetX(3);
  const DWORD rootChildren = ChildCount(SharedRootFrame());
  f->Orientation()->SetAngleRotY(90);
  EXPECT_VEC(Dir(f), 1, 0, 0);
  EXPECT_VEC(Up(f), 0, 1, 0);
  f->Orientation()->SetAngleRotY(90);  // every write turns once more
  EXPECT_VEC(Dir(f), 0, 0, -1);
  EXPECT_EQ(f->Orientation()->AngleRotY(), 90);
  f->Orientation()->SetAngleRotX(0);  // a zero turn keeps the orientation
  EXPECT_VEC(Dir(f), 0, 0, -1);
  // Only the orientation changed; the scratch copy left no trace.
  EXPECT_VEC(World(f), 3, 0, 0);
  EXPECT_EQ(moves, 0);
  EXPECT_EQ(ChildCount(SharedRootFrame()), rootChildren);
  f->Orientation()->SetReset(true);
  EXPECT_VEC(Dir(f), 0, 0, 1);
  EXPECT_FALSE(f->Orientation()->Reset());
  EXPECT_EQ(f->Orientation()->AngleRotY(), 0);
}

TEST_F(FrameTest, OrientationToolAboutOwnAxesUnderAParent) {
  TKV3DFrame* parent = Make();
  parent->Orientation()->SetAngleRotY(90);
  TKV3DFrame* f = Make();
  TKV3DFrame* grandchild = Make();
  grandchild->SetParentFrame(f);
  f->SetParentFrame(parent);
  const DWORD parentChildren = ChildCount(parent->GetIDirect3DRMFrame3());
  f->Orientation()->SetAngleRotSelf(true);
  f->Orientation()->SetAngleRotZ(90);  // about its direction: up turns
  EXPECT_VEC(Dir(f), 0, 0, 1);
  EXPECT_VEC(Up(f), -1, 0, 0);
  f->Orientation()->SetReset(false);
  f->Orientation()->SetAngleRotX(90);  // about the lateral axis
  EXPECT_VEC(Dir(f), 0, -1, 0);
  EXPECT_VEC(Up(f), 0, 0, 1);
  EXPECT_EQ(ChildCount(parent->GetIDirect3DRMFrame3()), parentChildren);
  EXPECT_EQ(ChildCount(f->GetIDirect3DRMFrame3()), 1u);
}

TEST_F(FrameTest, OrientationSetterRefreshesBeforeSending) {
  TKV3DFrame* f = Make();
  f->Orientation()->SetDirX(1);  // direction (1, 0, 1) with up (0, 1, 0)
  const float s = std::sqrt(0.5f);
  EXPECT_VEC(Dir(f), s, 0, s);
  EXPECT_VEC(Up(f), 0, 1, 0);
  f->SetDirOrientation({0, 1, 0}, {0, 0, 0});  // refused: the frame keeps its orientation
  EXPECT_VEC(Dir(f), s, 0, s);
}

TEST_F(FrameTest, CloneCopiesPlacementParentAndColour) {
  TKV3DFrame* parent = Make();
  parent->Position()->SetX(10);
  TKV3DFrame* f = Make();
  f->SetParentFrame(parent);
  f->SetParentUpdate(false);
  f->Position()->SetY(2);
  f->Velocity()->SetZ(1);
  f->Rotation()->SetY(1);
  f->Rotation()->SetAngle(30);
  f->Orientation()->SetAngleRotY(45);
  f->SetColor(0x00123456);
  f->OnMove = [](TObject*) {};
  TKV3DFrame* c = f->Clone();
  EXPECT_EQ(c->Owner(), form.get());
  EXPECT_EQ(c->ParentFrame(), parent);
  EXPECT_TRUE(c->ParentUpdate());
  EXPECT_FALSE(c->OnMove.Assigned());
  EXPECT_VEC(World(c), 10, 2, 0);
  EXPECT_NEAR(c->Velocity()->GetZ(), 1, kTol);
  EXPECT_NEAR(c->Rotation()->GetAngle(), 30, kTol);
  EXPECT_VEC(Dir(c), Dir(f).x, Dir(f).y, Dir(f).z);
  EXPECT_EQ(c->GetColor(), 0x00123456u);
}

}  // namespace
}  // namespace kvtest
