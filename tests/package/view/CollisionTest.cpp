// Collision checking through the view: the box test in scene coordinates
// with bounds included, every pair in ownership order with both reports,
// every frame while in contact, only objects of the view's parent that take
// part, and handlers that free objects during the pass.
#include <string>
#include <vector>

#include "ObjectViewFixture.h"
#include "korvane3d/objects/Kv3dquality.h"

using namespace kv;

namespace kvtest {
namespace {

class CollisionTest : public ObjectViewTest {
 protected:
  // "<sender>:<other>" per Collision call, in order.
  std::vector<std::string> reports;

  TKV3DObject* Collider(const char* name, float x, float y, float z, TMShapeType shape = stCube,
                        TKV3DCustomFrame* parent = nullptr, TComponent* owner = nullptr) {
    TKV3DObject* o = Place(name, x, y, z, shape, parent, owner);
    o->SetCheckCollision(true);
    o->OnCollision = [this](TObject* sender, TObject* other) {
      reports.push_back(NameOf(sender) + ":" + NameOf(other));
    };
    return o;
  }
  static std::string NameOf(TObject* o) {
    auto* c = dynamic_cast<TComponent*>(o);
    return c != nullptr ? c->Name() : "null";
  }
  // Where b goes on x so that its box starts where a's ends.
  static float AgainstFace(TKV3DObject* a, float ax, TKV3DObject* b) {
    const float x = ax + a->BoxMax().x - b->BoxMin().x;
    EXPECT_EQ(x + b->BoxMin().x, ax + a->BoxMax().x);
    return x;
  }
};

TEST_F(CollisionTest, SharedFaceContainmentAndAGap) {
  TKV3DObject* a = Collider("A", 0, 0, 10);
  Collider("B", AgainstFace(a, 0, a), 0.3f, 10);
  Collider("Big", 20, 0, 10, stSphere);
  Collider("Small", 20, 0.1f, 10);  // its box lies inside Big's
  TKV3DObject* e = Collider("E", 40, 0, 10);
  Collider("F", std::nextafter(AgainstFace(e, 40, e), 100.0f), 0, 10);
  view->CollisionChecking();
  EXPECT_EQ(reports, (std::vector<std::string>{"A:B", "B:A", "Big:Small", "Small:Big"}));

  reports.clear();
  view->CheckObjects(a, e);
  EXPECT_TRUE(reports.empty());
}

TEST_F(CollisionTest, EveryPairOnceInOwnershipOrderWithBothReports) {
  // Owned P, Q, R but laid out R, Q, P from left to right, all overlapping.
  Collider("P", 0.4f, 0, 10);
  Collider("Q", 0.2f, 0, 10);
  Collider("R", 0.0f, 0, 10);
  view->CollisionChecking();
  EXPECT_EQ(reports, (std::vector<std::string>{"P:Q", "Q:P", "P:R", "R:P", "Q:R", "R:Q"}));
}

TEST_F(CollisionTest, BoxesAreMeasuredInTheScenesCoordinates) {
  // A hangs under a frame standing at x 100; B stands at x 101 in the scene.
  TKV3DFrame* carrier = PlaceFrame("Carrier", scene);
  carrier->Position()->SetX(100);
  TKV3DObject* a = Collider("A", 0, 0, 10, stCube, carrier);
  Collider("B", AgainstFace(a, 100, a), 0, 10);
  view->CollisionChecking();
  EXPECT_EQ(reports, (std::vector<std::string>{"A:B", "B:A"}));
}

TEST_F(CollisionTest, ABoxFollowsAScaleChangeAtOnce) {
  TKV3DObject* a = Collider("A", 0, 0, 10);
  Collider("B", 3, 0, 10);
  view->CollisionChecking();
  EXPECT_TRUE(reports.empty());
  a->Scale()->SetX(7);  // A now spans -3.5 .. 3.5 on x
  EXPECT_FLOAT_EQ(a->BoxMax().x, 3.5f);
  view->CollisionChecking();
  EXPECT_EQ(reports, (std::vector<std::string>{"A:B", "B:A"}));
  reports.clear();
  TKV3DScale unit(nullptr);
  a->SetScale(&unit);
  EXPECT_FLOAT_EQ(a->BoxMax().x, 0.5f);
  view->CollisionChecking();
  EXPECT_TRUE(reports.empty());
}

TEST_F(CollisionTest, ReportedEveryFrameOnlyWithAutoCheckCollision) {
  Collider("A", 0, 0, 10);
  Collider("B", 0.5f, 0, 10);
  view->Render();
  EXPECT_TRUE(reports.empty());
  view->SetAutoCheckCollision(true);
  view->Render();
  view->Render();
  EXPECT_EQ(reports, (std::vector<std::string>{"A:B", "B:A", "A:B", "B:A"}));
}

TEST_F(CollisionTest, ObjectsNotTakingPartOrOwnedElsewhereNeverCollide) {
  TForm elsewhere(nullptr);
  Collider("A", 0, 0, 10);
  TKV3DObject* off = Collider("Off", 0, 0, 10);
  off->SetCheckCollision(false);
  Collider("Stranger", 0, 0, 10, stCube, nullptr, &elsewhere);
  view->SetAutoCheckCollision(true);
  view->Render();
  EXPECT_TRUE(reports.empty());
}

TEST_F(CollisionTest, HandlersMayFreeObjectsDuringThePass) {
  TKV3DObject* a = Collider("A", 0, 0, 10);
  TKV3DObject* b = Collider("B", 0.5f, 0, 10);
  Collider("C", 0.25f, 0, 10);
  a->OnCollision = [&](TObject* sender, TObject* other) {
    reports.push_back(NameOf(sender) + ":" + NameOf(other));
    if (other == b) delete b;
  };
  view->CollisionChecking();
  // B went before it could answer; the pairs (A, C) and (C, A) remain.
  EXPECT_EQ(reports, (std::vector<std::string>{"A:B", "A:C", "C:A"}));
}

// Each pair is tested where its objects are when its turn comes: a pair that
// an earlier handler of the same pass moves into contact is reported in that
// pass, and a pair moved apart is not.
TEST_F(CollisionTest, PairsAreTestedWhereEarlierHandlersOfThePassLeftThem) {
  TKV3DObject* a = Collider("A", 0, 0, 10);
  Collider("B", 0.5f, 0, 10);
  TKV3DObject* c = Collider("C", 20, 0, 10);
  TKV3DObject* d = Collider("D", 40, 0, 10);
  a->OnCollision = [&](TObject* sender, TObject* other) {
    reports.push_back(NameOf(sender) + ":" + NameOf(other));
    c->Position()->SetX(40.25f);  // onto D
  };
  view->CollisionChecking();
  EXPECT_EQ(reports, (std::vector<std::string>{"A:B", "B:A", "C:D", "D:C"}));

  // And apart again before their turn: nothing for that pair.
  reports.clear();
  a->OnCollision = [&](TObject* sender, TObject* other) {
    reports.push_back(NameOf(sender) + ":" + NameOf(other));
    d->Position()->SetX(80.0f);
  };
  view->CollisionChecking();
  EXPECT_EQ(reports, (std::vector<std::string>{"A:B", "B:A"}));

  // A box an earlier handler grows counts as well: C scaled out to D.
  reports.clear();
  c->Position()->SetX(20.0f);
  d->Position()->SetX(30.0f);
  a->OnCollision = [&](TObject* sender, TObject* other) {
    reports.push_back(NameOf(sender) + ":" + NameOf(other));
    c->Scale()->SetX(20);  // C now spans 10 .. 30 on x
  };
  view->CollisionChecking();
  EXPECT_EQ(reports, (std::vector<std::string>{"A:B", "B:A", "C:D", "D:C"}));
}

// The view keeps its list of objects from pass to pass: objects made,
// freed, turned on or off between passes must count from the next pass.
TEST_F(CollisionTest, EachPassSeesTheObjectsAsTheyAreNow) {
  Collider("A", 0, 0, 10);
  TKV3DObject* b = Collider("B", 0.5f, 0, 10);
  view->CollisionChecking();
  EXPECT_EQ(reports, (std::vector<std::string>{"A:B", "B:A"}));

  reports.clear();
  b->SetCheckCollision(false);
  view->CollisionChecking();
  EXPECT_TRUE(reports.empty());

  b->SetCheckCollision(true);
  Collider("C", 0.25f, 0, 10);
  view->CollisionChecking();
  EXPECT_EQ(reports, (std::vector<std::string>{"A:B", "B:A", "A:C", "C:A", "B:C", "C:B"}));

  reports.clear();
  delete b;
  view->CollisionChecking();
  EXPECT_EQ(reports, (std::vector<std::string>{"A:C", "C:A"}));
}

// A handler may start a pass of its own; the outer pass then goes on with
// its own objects, each pair still reported once by it.
TEST_F(CollisionTest, APassStartedFromAHandlerLeavesTheOuterPassWhole) {
  TKV3DObject* a = Collider("A", 0, 0, 10);
  Collider("B", 0.5f, 0, 10);
  Collider("C", 20, 0, 10);
  Collider("D", 20.5f, 0, 10);
  int nested = 0;
  a->OnCollision = [&](TObject* sender, TObject* other) {
    reports.push_back(NameOf(sender) + ":" + NameOf(other));
    if (nested++ == 0) {
      Collider("E", 40, 0, 10);  // changes the parent's components meanwhile
      view->CollisionChecking();
    }
  };
  view->CollisionChecking();
  EXPECT_EQ(reports, (std::vector<std::string>{"A:B",
                                               // the nested pass, A's report not nesting again
                                               "A:B", "B:A", "C:D", "D:C",
                                               // the outer pass goes on
                                               "B:A", "C:D", "D:C"}));
}

// A handler that frees the view ends the pass: nothing more is tested or
// reported through the freed view (run under the address sanitizer too).
TEST_F(CollisionTest, AHandlerThatFreesTheViewEndsThePass) {
  TKV3DObject* a = Collider("A", 0, 0, 10);
  Collider("B", 0.5f, 0, 10);
  Collider("C", 20, 0, 10);
  Collider("D", 20.5f, 0, 10);
  bool freed = false;
  a->OnCollision = [&](TObject* sender, TObject* other) {
    reports.push_back(NameOf(sender) + ":" + NameOf(other));
    delete view;
    view = nullptr;
    freed = true;
  };
  TKV3DView* checking = view;
  checking->CollisionChecking();
  EXPECT_TRUE(freed);
  EXPECT_EQ(reports, (std::vector<std::string>{"A:B", "B:A"}));
}

}  // namespace
}  // namespace kvtest
