// The frame base: creation, re-parenting, links, orphaning, OnMove, colour.
#include <atomic>
#include <stdexcept>

#include "FrameFixture.h"
#include "korvane3d/host/Controls.h"

using namespace kv;

namespace kvtest {
namespace {

TEST_F(FrameTest, NewFrameHangsUnderTheSharedRoot) {
  TKV3DFrame* f = Make("F");
  ASSERT_NE(f->GetIDirect3DRMFrame3(), nullptr);
  EXPECT_EQ(EngineParent(f), SharedRootFrame());
  EXPECT_EQ(f->GetIRefFrame(), SharedRootFrame());
  EXPECT_EQ(f->GetIScene(), SharedRootFrame());
  EXPECT_EQ(f->GetIViewport(), nullptr);  // no view shows it
  EXPECT_TRUE(f->ParentUpdate());
  EXPECT_VEC(World(f), 0, 0, 0);
  EXPECT_VEC(Dir(f), 0, 0, 1);
  EXPECT_VEC(Up(f), 0, 1, 0);
}

TEST_F(FrameTest, ReparentingKeepsLocalOrWorldPlacement) {
  for (bool parentUpdate : {true, false}) {
    SCOPED_TRACE(parentUpdate);
    TKV3DFrame* parent = Make();
    parent->Position()->SetX(10);
    TKV3DFrame* child = Make();
    child->Position()->SetX(5);
    child->SetParentUpdate(parentUpdate);
    child->SetParentFrame(parent);
    EXPECT_EQ(EngineParent(child), parent->GetIDirect3DRMFrame3());
    EXPECT_EQ(child->GetIRefFrame(), parent->GetIDirect3DRMFrame3());
    EXPECT_VEC(World(child), parentUpdate ? 15.f : 5.f, 0, 0);
    EXPECT_NEAR(child->Position()->GetX(), parentUpdate ? 5 : -5, kTol);
    // It now moves with its parent.
    parent->Position()->SetY(2);
    EXPECT_VEC(World(child), parentUpdate ? 15.f : 5.f, 2, 0);
    delete child;
    delete parent;
  }
}

TEST_F(FrameTest, KeepingWorldPlacementKeepsSpinAndSpeed) {
  TKV3DFrame* parent = Make();
  parent->Position()->SetX(10);
  parent->Orientation()->SetAngleRotY(90);
  TKV3DFrame* child = Make();
  child->Velocity()->SetX(1);
  child->SetParentUpdate(false);
  child->SetParentFrame(parent);
  // Velocity (1,0,0) in world is (0,0,1) in the turned parent's axes.
  EXPECT_VEC((D3DVECTOR{child->Velocity()->GetX(), child->Velocity()->GetY(), child->Velocity()->GetZ()}), 0, 0, 1);
  child->GetIDirect3DRMFrame3()->Move(1);
  EXPECT_VEC(World(child), 1, 0, 0);
}

TEST_F(FrameTest, SettingTheSameParentOrItselfDoesNothing) {
  TKV3DFrame* parent = Make();
  TKV3DFrame* child = Make();
  child->SetParentFrame(parent);
  int inserts = 0;
  struct Watch : TComponent {
    using TComponent::TComponent;
    int* count = nullptr;
    void Notification(TComponent* c, TOperation op) override {
      if (op == opInsert) ++*count;
      TComponent::Notification(c, op);
    }
  };
  auto* watch = new Watch(form.get());
  watch->count = &inserts;
  child->SetParentFrame(parent);
  child->SetParentFrame(child);
  EXPECT_EQ(inserts, 0);  // no re-parenting, so no notification round
  EXPECT_EQ(child->ParentFrame(), parent);
}

TEST_F(FrameTest, CycleOfTwoIsNotBuilt) {
  TKV3DFrame* a = Make();
  TKV3DFrame* b = Make();
  a->SetParentFrame(b);
  b->SetParentFrame(a);  // stored, but the engine frame stays where it is
  EXPECT_EQ(b->ParentFrame(), a);
  EXPECT_EQ(EngineParent(a), b->GetIDirect3DRMFrame3());
  EXPECT_EQ(EngineParent(b), SharedRootFrame());
}

TEST_F(FrameTest, UnparentingReturnsToTheRoot) {
  TKV3DFrame* parent = Make();
  parent->Position()->SetX(10);
  TKV3DFrame* child = Make();
  child->SetParentFrame(parent);
  child->SetParentFrame(nullptr);
  EXPECT_EQ(child->ParentFrame(), nullptr);
  EXPECT_EQ(EngineParent(child), SharedRootFrame());
}

TEST_F(FrameTest, NotificationLinksAreMadeBothWaysAndUndone) {
  TKV3DFrame* a = Make();
  TKV3DFrame* b = Make();
  a->AddToNotify(b);
  a->AddToNotify(b);
  EXPECT_TRUE(a->IsInNotifyList(b));
  EXPECT_TRUE(b->IsInNotifyList(a));
  // A frame of another owner hears of the removal through the list.
  TForm other(nullptr);
  auto* c = new TKV3DFrame(&other);
  c->SetParentFrame(a);
  EXPECT_TRUE(a->IsInNotifyList(c));
  delete a;
  EXPECT_FALSE(b->IsInNotifyList(a));
  EXPECT_EQ(c->ParentFrame(), nullptr);
  EXPECT_FALSE(c->IsInNotifyList(a));
}

TEST_F(FrameTest, ChildrenAreOrphanedUnderTheRootWhenTheParentGoes) {
  TKV3DFrame* parent = Make();
  parent->Position()->SetX(10);
  TKV3DFrame* child = Make();
  child->Position()->SetX(5);
  child->SetParentFrame(parent);
  EXPECT_VEC(World(child), 15, 0, 0);
  const DWORD rootChildren = ChildCount(SharedRootFrame());
  delete parent;
  EXPECT_EQ(child->ParentFrame(), nullptr);
  EXPECT_EQ(EngineParent(child), SharedRootFrame());
  EXPECT_VEC(World(child), 5, 0, 0);  // the local placement becomes the world one
  // The freed parent's engine frame left the scene graph; the child took its place.
  EXPECT_EQ(ChildCount(SharedRootFrame()), rootChildren);
  EXPECT_NEAR(child->Position()->GetX(), 5, kTol);
}

TEST_F(FrameTest, SendNotificationNeverCollidesWithAComponentName) {
  auto* taken = new TButton(form.get());
  ASSERT_TRUE(taken->SetName("ButtonSender"));
  TKV3DFrame* parent = Make();
  parent->Position()->SetX(10);
  TKV3DFrame* child = Make();
  child->Position()->SetX(1);
  int inserts = 0, removes = 0;
  struct Watch : TComponent {
    using TComponent::TComponent;
    int *ins = nullptr, *rem = nullptr;
    void Notification(TComponent* c, TOperation op) override {
      if (c != this) ++*(op == opInsert ? ins : rem);
      TComponent::Notification(c, op);
    }
  };
  auto* watch = new Watch(form.get());
  watch->ins = &inserts;
  watch->rem = &removes;
  child->SetParentFrame(parent);  // one temporary button comes and goes
  EXPECT_EQ(inserts, 1);
  EXPECT_EQ(removes, 1);
  EXPECT_EQ(form->FindComponent("ButtonSender"), taken);
  EXPECT_EQ(child->ParentFrame(), parent);
  EXPECT_VEC(World(child), 11, 0, 0);
  // Without owner nothing is sent and nothing fails.
  TKV3DFrame lone(nullptr);
  lone.SendNotification();
}

TEST_F(FrameTest, OnMoveFiresThroughMoveAndSwallowsHandlerErrors) {
  TKV3DFrame* f = Make();
  int moves = 0;
  f->OnMove = [&](TObject* sender) {
    EXPECT_EQ(sender, f);
    ++moves;
    throw std::runtime_error("handler failure stays inside");
  };
  f->Velocity()->SetX(2);
  EXPECT_EQ(f->GetIDirect3DRMFrame3()->Move(1), D3DRM_OK);
  EXPECT_EQ(moves, 1);
  EXPECT_VEC(World(f), 2, 0, 0);
  // A child moved through its parent's Move fires too.
  TKV3DFrame* child = Make();
  int childMoves = 0;
  child->OnMove = [&](TObject*) { ++childMoves; };
  child->SetParentFrame(f);
  f->GetIDirect3DRMFrame3()->Move(1);
  EXPECT_EQ(moves, 2);
  EXPECT_EQ(childMoves, 1);
  // No callback of a freed frame runs.
  delete child;
  f->GetIDirect3DRMFrame3()->Move(1);
  EXPECT_EQ(childMoves, 1);
}

TEST_F(FrameTest, PickedFiresOnFramePicked) {
  TKV3DFrame* f = Make();
  std::int32_t layer = -1;
  f->OnFramePicked = [&](TObject*, std::int32_t l) { layer = l; };
  f->Picked(3);
  EXPECT_EQ(layer, 3);
}

TEST_F(FrameTest, ColourGoesToTheEngineAndBack) {
  TKV3DFrame* f = Make();
  EXPECT_EQ(f->Color(), 0x00FFFFFFu);
  f->SetColor(0x00336699);  // TColor: red 0x99, green 0x66, blue 0x33
  EXPECT_EQ(f->GetIDirect3DRMFrame3()->GetColor() & 0x00FFFFFF, 0x00996633u);
  EXPECT_EQ(f->GetColor(), 0x00336699u);
}

TEST_F(FrameTest, CameraStartsBehindTheOrigin) {
  auto* cam = Make<TKV3DCamera>();
  EXPECT_VEC(World(cam), 0, 0, -10);
  EXPECT_NEAR(cam->Position()->GetZ(), -10, kTol);
  EXPECT_VEC(Dir(cam), 0, 0, 1);
  EXPECT_VEC(Up(cam), 0, 1, 0);
  // Under a parent it keeps its numbers relative to the parent.
  TKV3DFrame* scene = Make();
  scene->Position()->SetY(3);
  cam->SetParentFrame(scene);
  EXPECT_VEC(World(cam), 0, 3, -10);
}

}  // namespace
}  // namespace kvtest
