// Move: motion, callback order and what callbacks may do; the hierarchy's
// own rules (cycles, children outliving parents, clones); and Move racing
// placement changes on another thread.
#include <atomic>
#include <cmath>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "RmTesting.h"

namespace kv::rm::testing {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

struct Log {
  std::vector<std::string> entries;
  std::vector<float> deltas;
};

struct Tagged {
  Log* log;
  std::string name;
};

void Record(IDirect3DRMFrame3*, void* arg, D3DVALUE delta) {
  auto* t = static_cast<Tagged*>(arg);
  t->log->entries.push_back(t->name);
  t->log->deltas.push_back(delta);
}

class FrameMove : public ::testing::Test {
 protected:
  ComPtr<IDirect3DRM3> root = MakeRoot();
  ComPtr<IDirect3DRMFrame3> scene = MakeFrame(root.Get());
};

TEST_F(FrameMove, VelocityAndSpinAdvanceTheWholeTree) {
  auto parent = MakeFrame(root.Get(), scene.Get());
  auto child = MakeFrame(root.Get(), parent.Get());
  child->SetPosition(parent.Get(), 1, 0, 0);
  parent->SetVelocity(scene.Get(), 0, 2, 0, FALSE);
  parent->SetRotation(scene.Get(), 0, 0, 1, kPi / 2);
  ASSERT_EQ(scene->Move(0.5f), D3DRM_OK);
  // The parent moved by v * delta and turned 45 degrees about its own origin;
  // the child went round with it.
  EXPECT_VEC_NEAR(Position(parent.Get(), nullptr), 0, 1, 0, 1e-6f);
  float h = std::sqrt(0.5f);
  EXPECT_VEC_NEAR(Position(child.Get(), nullptr), h, 1 + h, 0, 1e-5f);
  EXPECT_VEC_NEAR(Position(child.Get(), parent.Get()), 1, 0, 0, 1e-5f);
}

TEST_F(FrameMove, RotationSenseAgreesWithVectorRotate) {
  D3DVECTOR axis{1, 2, 3};
  float theta = 0.7f;
  scene->SetRotation(nullptr, axis.x, axis.y, axis.z, theta);
  scene->Move(1.0f);
  scene->SetRotation(nullptr, axis.x, axis.y, axis.z, 0);
  D3DVECTOR dir, up, z{0, 0, 1}, y{0, 1, 0}, expectDir, expectUp;
  scene->GetOrientation(nullptr, &dir, &up);
  D3DRMVectorRotate(&expectDir, &z, &axis, theta);
  D3DRMVectorRotate(&expectUp, &y, &axis, theta);
  EXPECT_VEC_NEAR(dir, expectDir.x, expectDir.y, expectDir.z, 1e-5f);
  EXPECT_VEC_NEAR(up, expectUp.x, expectUp.y, expectUp.z, 1e-5f);
  EXPECT_VEC_NEAR(Position(scene.Get(), nullptr), 0, 0, 0, 0);
  scene->Move(1.0f);  // the spin was stopped
  D3DVECTOR dir2, up2;
  scene->GetOrientation(nullptr, &dir2, &up2);
  EXPECT_VEC_NEAR(dir2, dir.x, dir.y, dir.z, 0);
}

TEST_F(FrameMove, LongSpinsKeepTheAxesUnit) {
  scene->SetRotation(nullptr, 0.3f, 1, 0.2f, 0.01f);
  for (int i = 0; i < 20000; ++i) scene->Move(1.0f);
  D3DRMMATRIX4D m;
  scene->GetTransform(nullptr, m);
  for (int r = 0; r < 3; ++r)
    EXPECT_NEAR(std::sqrt(m[r][0] * m[r][0] + m[r][1] * m[r][1] + m[r][2] * m[r][2]), 1.0, 1e-5);
}

TEST_F(FrameMove, CallbacksRunPreOrderAndPostOrderWithTheDelta) {
  Log log;
  auto a = MakeFrame(root.Get(), scene.Get());
  auto b = MakeFrame(root.Get(), scene.Get());
  auto a1 = MakeFrame(root.Get(), a.Get());
  Tagged tScene{&log, "scene"}, tScenePost{&log, "scene-post"}, tA{&log, "a"}, tA2{&log, "a2"}, tB{&log, "b"},
      tA1{&log, "a1"};
  scene->AddMoveCallback(Record, &tScenePost, D3DRMCALLBACK_POSTORDER);
  scene->AddMoveCallback(Record, &tScene, D3DRMCALLBACK_PREORDER);
  a->AddMoveCallback(Record, &tA, 0);
  a->AddMoveCallback(Record, &tA2, 0);
  b->AddMoveCallback(Record, &tB, 0);
  a1->AddMoveCallback(Record, &tA1, 0);
  scene->Move(0.25f);
  EXPECT_EQ(log.entries, (std::vector<std::string>{"scene", "a", "a2", "a1", "b", "scene-post"}));
  for (float d : log.deltas) EXPECT_EQ(d, 0.25f);
  // Moving a subtree runs only its callbacks.
  log.entries.clear();
  a->Move(1);
  EXPECT_EQ(log.entries, (std::vector<std::string>{"a", "a2", "a1"}));
  EXPECT_EQ(a->AddMoveCallback(nullptr, nullptr, 0), D3DRMERR_BADVALUE);
  EXPECT_EQ(a->AddMoveCallback(Record, &tA, 5), D3DRMERR_BADVALUE);
}

TEST_F(FrameMove, CallbacksSeeTheFrameBeforeItsMotion) {
  struct Seen {
    float x = -1;
  } seen;
  scene->SetVelocity(nullptr, 1, 0, 0, FALSE);
  scene->AddMoveCallback(
      [](IDirect3DRMFrame3* f, void* arg, D3DVALUE) {
        D3DVECTOR p;
        f->GetPosition(nullptr, &p);  // calling back into the engine is allowed
        static_cast<Seen*>(arg)->x = p.x;
      },
      &seen, 0);
  scene->Move(1);
  EXPECT_EQ(seen.x, 0);
  EXPECT_VEC_NEAR(Position(scene.Get(), nullptr), 1, 0, 0, 0);
}

struct Editor {
  IDirect3DRMFrame3* frame = nullptr;
  IDirect3DRMFrame3* other = nullptr;
  Tagged* victim = nullptr;
  Tagged* added = nullptr;
  Log* log = nullptr;
};

void EditCallbacks(IDirect3DRMFrame3* f, void* arg, D3DVALUE) {
  auto* e = static_cast<Editor*>(arg);
  e->log->entries.push_back("editor");
  f->DeleteMoveCallback(Record, e->victim);
  f->AddMoveCallback(Record, e->added, 0);
  f->DeleteMoveCallback(nullptr, nullptr);  // not registered: harmless
}

void MoveUnderOther(IDirect3DRMFrame3*, void* arg, D3DVALUE) {
  auto* e = static_cast<Editor*>(arg);
  e->other->AddChild(e->frame);
}

TEST_F(FrameMove, CallbacksMayRemoveAndAddCallbacks) {
  Log log;
  Tagged first{&log, "first"}, second{&log, "second"}, late{&log, "late"};
  Editor editor{scene.Get(), nullptr, &second, &late, &log};
  scene->AddMoveCallback(EditCallbacks, &editor, 0);
  scene->AddMoveCallback(Record, &first, 0);
  scene->AddMoveCallback(Record, &second, 0);
  scene->Move(1);
  // The removed callback is skipped at once; the added one waits a pass.
  EXPECT_EQ(log.entries, (std::vector<std::string>{"editor", "first"}));
  log.entries.clear();
  scene->DeleteMoveCallback(Record, &first);
  EXPECT_EQ(scene->DeleteMoveCallback(Record, &first), D3DRMERR_NOTFOUND);
  scene->Move(1);
  EXPECT_EQ(log.entries, (std::vector<std::string>{"editor", "late"}));
}

TEST_F(FrameMove, FramesTakenAwayByACallbackAreNotMoved) {
  auto a = MakeFrame(root.Get(), scene.Get());
  auto b = MakeFrame(root.Get(), scene.Get());
  auto elsewhere = MakeFrame(root.Get());
  b->SetVelocity(nullptr, 1, 0, 0, FALSE);
  Editor editor{b.Get(), elsewhere.Get()};
  a->AddMoveCallback(MoveUnderOther, &editor, 0);
  scene->Move(1);
  EXPECT_VEC_NEAR(Position(b.Get(), nullptr), 0, 0, 0, 0);
  ComPtr<IDirect3DRMFrame3> parent;
  b->GetParent(parent.ReleaseAndGetAddressOf());
  EXPECT_EQ(parent.Get(), elsewhere.Get());
}

TEST_F(FrameMove, FramesMovedAheadByACallbackMoveOnce) {
  // scene: a, b. a's callback hangs a's sibling-to-be c under b, which is
  // visited later: c moves with b's subtree, once.
  auto a = MakeFrame(root.Get(), scene.Get());
  auto b = MakeFrame(root.Get(), scene.Get());
  auto c = MakeFrame(root.Get(), a.Get());
  c->SetVelocity(nullptr, 1, 0, 0, FALSE);
  Editor editor{c.Get(), b.Get()};
  a->AddMoveCallback(MoveUnderOther, &editor, 0);
  scene->Move(1);
  EXPECT_VEC_NEAR(Position(c.Get(), nullptr), 1, 0, 0, 1e-6f);
  // Hung back under a, which this pass has already done: it waits a pass.
  editor = {c.Get(), a.Get()};
  b->AddMoveCallback(MoveUnderOther, &editor, 0);
  a->DeleteMoveCallback(MoveUnderOther, &editor);
  scene->Move(1);
  EXPECT_VEC_NEAR(Position(c.Get(), nullptr), 1, 0, 0, 1e-6f);
}

TEST_F(FrameMove, HierarchyRefusesCyclesAndForeignChildren) {
  auto a = MakeFrame(root.Get(), scene.Get());
  auto a1 = MakeFrame(root.Get(), a.Get());
  EXPECT_EQ(a1->AddChild(scene.Get()), D3DRMERR_BADVALUE);
  EXPECT_EQ(a->AddChild(a.Get()), D3DRMERR_BADVALUE);
  EXPECT_EQ(a1->AddVisual(a.Get()), D3DRMERR_BADVALUE);  // an instance of an ancestor would never end
  EXPECT_EQ(scene->AddChild(nullptr), D3DRMERR_BADOBJECT);
  EXPECT_EQ(scene->DeleteChild(a1.Get()), D3DRMERR_NOTFOUND);
  ComPtr<IDirect3DRMFrameArray> children;
  scene->GetChildren(children.ReleaseAndGetAddressOf());
  EXPECT_EQ(children->GetSize(), 1u);
  ComPtr<IDirect3DRMFrame3> top;
  a1->GetScene(top.ReleaseAndGetAddressOf());
  EXPECT_EQ(top.Get(), scene.Get());
  // Adding a frame twice keeps one entry.
  EXPECT_EQ(scene->AddChild(a.Get()), D3DRM_OK);
  scene->GetChildren(children.ReleaseAndGetAddressOf());
  EXPECT_EQ(children->GetSize(), 1u);
}

TEST_F(FrameMove, ChildrenOutliveTheirParent) {
  auto child = MakeFrame(root.Get());
  {
    auto parent = MakeFrame(root.Get());
    parent->SetPosition(nullptr, 10, 0, 0);
    parent->AddChild(child.Get());
    child->SetPosition(parent.Get(), 5, 0, 0);
  }
  ComPtr<IDirect3DRMFrame3> parent;
  ASSERT_EQ(child->GetParent(parent.ReleaseAndGetAddressOf()), D3DRM_OK);
  EXPECT_EQ(parent.Get(), nullptr);
  EXPECT_VEC_NEAR(Position(child.Get(), nullptr), 5, 0, 0, 1e-6f);
}

TEST_F(FrameMove, CloneCopiesPlacementMotionAndChildren) {
  auto parent = MakeFrame(root.Get(), scene.Get());
  auto original = MakeFrame(root.Get(), parent.Get());
  MakeFrame(root.Get(), original.Get());
  original->SetPosition(parent.Get(), 1, 2, 3);
  original->SetRotation(parent.Get(), 0, 1, 0, 0.5f);
  ComPtr<IDirect3DRMFrame3> copy;
  ASSERT_EQ(original->Clone(nullptr, IID_IDirect3DRMFrame3, reinterpret_cast<void**>(copy.ReleaseAndGetAddressOf())),
            D3DRM_OK);
  ASSERT_NE(copy.Get(), original.Get());
  EXPECT_VEC_NEAR(Position(copy.Get(), parent.Get()), 1, 2, 3, 0);
  ComPtr<IDirect3DRMFrame3> copyParent;
  copy->GetParent(copyParent.ReleaseAndGetAddressOf());
  EXPECT_EQ(copyParent.Get(), parent.Get());
  ComPtr<IDirect3DRMFrameArray> kids;
  copy->GetChildren(kids.ReleaseAndGetAddressOf());
  EXPECT_EQ(kids->GetSize(), 1u);
  // Turning the copy leaves the original alone.
  copy->Move(1);
  D3DVECTOR d1, u1, d2, u2;
  original->GetOrientation(parent.Get(), &d1, &u1);
  copy->GetOrientation(parent.Get(), &d2, &u2);
  EXPECT_VEC_NEAR(d1, 0, 0, 1, 0);
  EXPECT_NEAR(d2.x, std::sin(0.5f), 1e-6f);
}

TEST_F(FrameMove, MoveOnOneThreadWhileAnotherSetsPositions) {
  std::vector<ComPtr<IDirect3DRMFrame3>> frames;
  for (int i = 0; i < 8; ++i) {
    frames.push_back(MakeFrame(root.Get(), scene.Get()));
    frames.back()->SetVelocity(nullptr, 1, 0, 0, FALSE);
    frames.back()->SetRotation(nullptr, 0, 1, 0, 0.01f);
  }
  std::atomic<bool> stop{false};
  std::thread mover([&] {
    while (!stop.load()) scene->Move(0.01f);
  });
  for (int round = 0; round < 2000; ++round) {
    auto& f = frames[round % frames.size()];
    f->SetPosition(scene.Get(), float(round), 0, 0);
    D3DVECTOR p;
    f->GetPosition(nullptr, &p);
    if (round % 100 == 0) {
      auto extra = MakeFrame(root.Get(), f.Get());
      f->DeleteChild(extra.Get());
    }
  }
  stop = true;
  mover.join();
  for (auto& f : frames) EXPECT_TRUE(std::isfinite(Position(f.Get(), nullptr).x));
}

}  // namespace
}  // namespace kv::rm::testing
