// Picking through the view: objects found from the visuals under a point by
// their frames at any depth, layers in pick order, Picked then OnPicked,
// empty space and a missing viewport, objects owned elsewhere, and picked
// objects that are freed afterwards.
#include <string>
#include <vector>

#include "ObjectViewFixture.h"

using namespace kv;

namespace kvtest {
namespace {

class PickTest : public ObjectViewTest {
 protected:
  // "Picked:<name>:<layer>" and "OnPicked:<name>:<layer>" in firing order.
  std::vector<std::string> events;

  void Record(TKV3DObject* object) {
    object->OnFramePicked = [this, object](TObject* sender, std::int32_t layer) {
      EXPECT_EQ(sender, object);
      events.push_back("Picked:" + object->Name() + ":" + std::to_string(layer));
    };
  }
  void RecordView() {
    view->OnPicked = [this](TObject* sender, TObject* picked, std::int32_t layer) {
      EXPECT_EQ(sender, view);
      events.push_back("OnPicked:" + static_cast<TComponent*>(dynamic_cast<TKV3DObject*>(picked))->Name() + ":" +
                       std::to_string(layer));
    };
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (TKV3DObject* o : view->PickedList()) names.push_back(o->Name());
    return names;
  }
};

TEST_F(PickTest, ObjectsAboveTheVisualByLayerWithPickedBeforeOnPicked) {
  // Outer carries, three frames down, a bare engine visual and, nearer the
  // camera, the object Inner; Behind stands further back on the same line.
  TKV3DObject* outer = Place("Outer", 0, 0, 10);
  TKV3DFrame* f1 = PlaceFrame("F1", outer);
  TKV3DFrame* f2 = PlaceFrame("F2", f1);
  TKV3DFrame* f3 = PlaceFrame("F3", f2, -2);
  TKV3DObject* inner = Place("Inner", 0, 0, -1, stCube, f3);
  TKV3DObject* behind = Place("Behind", 0, 0, 20);
  Place("Aside", 5, 0, 10);
  for (TKV3DObject* o : {outer, inner, behind}) Record(o);
  RecordView();

  view->GenPick(kCentreX, kCentreY);
  // Nearest visual first (Inner's, whose frames run scene, Outer, F1, F2,
  // F3, Inner), then Outer's own, then Behind's.
  EXPECT_EQ(Names(), (std::vector<std::string>{"Outer", "Inner", "Behind"}));
  EXPECT_EQ(events, (std::vector<std::string>{"Picked:Outer:0", "OnPicked:Outer:0", "Picked:Inner:1",
                                              "OnPicked:Inner:1", "Picked:Behind:2", "OnPicked:Behind:2"}));

  // Only the bare visual under F3 left on the line: it still picks Outer.
  inner->SetVisible(false);
  outer->SetVisible(false);
  behind->SetVisible(false);
  ComPtr<IDirect3DRMMeshBuilder3> bare;
  ASSERT_EQ(SharedD3DRM3()->CreateMeshBuilder(bare.ReleaseAndGetAddressOf()), D3DRM_OK);
  const D3DVECTOR square[4] = {{-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {1, -1, 0}};
  const DWORD face[] = {4, 0, 1, 2, 3, 0};
  ASSERT_EQ(bare->AddFaces(4, square, 0, nullptr, face, nullptr), D3DRM_OK);
  ASSERT_EQ(f3->GetIDirect3DRMFrame3()->AddVisual(bare.Get()), D3DRM_OK);
  events.clear();
  view->GenPick(kCentreX, kCentreY);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Outer"}));
  EXPECT_EQ(events, (std::vector<std::string>{"Picked:Outer:0", "OnPicked:Outer:0"}));
}

TEST_F(PickTest, FindTopParentFrameListsTheFramesObjectBeforeItsAncestorsEachOnce) {
  TKV3DObject* outer = Place("Outer", 0, 0, 10);
  TKV3DObject* middle = Place("Middle", 0, 0, 0, stCube, outer);
  TKV3DObject* leaf = Place("Leaf", 0, 0, 0, stCube, middle);
  view->FindTopParentFrame(leaf->GetIDirect3DRMFrame3());
  view->FindTopParentFrame(middle->GetIDirect3DRMFrame3());  // nothing new
  EXPECT_EQ(Names(), (std::vector<std::string>{"Leaf", "Middle", "Outer"}));
  view->FindTopParentFrame(nullptr);
  EXPECT_EQ(Names().size(), 3u);
}

TEST_F(PickTest, EmptySpaceClearsTheListAndAMissingViewportKeepsIt) {
  TKV3DObject* ball = Place("Ball", 0, 0, 10);
  Record(ball);
  RecordView();
  view->GenPick(kCentreX, kCentreY);
  ASSERT_EQ(Names(), (std::vector<std::string>{"Ball"}));
  events.clear();
  view->GenPick(1, 1);  // a corner: nothing there
  EXPECT_TRUE(view->PickedList().empty());
  EXPECT_TRUE(events.empty());

  // A view without a camera has no viewport: the list stays as it was.
  TKV3DView* blind = MakeView(64, 48);
  ASSERT_EQ(blind->GetIDirect3DRMViewport2(), nullptr);
  blind->FindTopParentFrame(ball->GetIDirect3DRMFrame3());
  blind->OnPicked = [&](TObject*, TObject*, std::int32_t) { events.push_back("blind"); };
  blind->GenPick(kCentreX, kCentreY);
  EXPECT_EQ(blind->PickedList(), (std::vector<TKV3DObject*>{ball}));
  EXPECT_TRUE(events.empty());
}

TEST_F(PickTest, OnlyObjectsOwnedByTheViewsParentArePicked) {
  TForm elsewhere(nullptr);
  Place("Stranger", 0, 0, 5, stCube, nullptr, &elsewhere);
  Place("Ball", 0, 0, 10);
  view->GenPick(kCentreX, kCentreY);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Ball"}));
}

TEST_F(PickTest, FreedObjectsLeaveThePickedList) {
  TKV3DObject* front = Place("Front", 0, 0, 5);
  TKV3DObject* back = Place("Back", 0, 0, 10);
  TKV3DObject* last = Place("Last", 0, 0, 15);
  view->GenPick(kCentreX, kCentreY);
  ASSERT_EQ(Names(), (std::vector<std::string>{"Front", "Back", "Last"}));
  delete back;
  EXPECT_EQ(Names(), (std::vector<std::string>{"Front", "Last"}));

  // A handler that frees a later object: that one is not reported.
  std::vector<std::string> reported;
  view->OnPicked = [&](TObject*, TObject* picked, std::int32_t layer) {
    reported.push_back(static_cast<TComponent*>(dynamic_cast<TKV3DObject*>(picked))->Name() + ":" +
                       std::to_string(layer));
    if (picked == front) delete last;
  };
  view->GenPick(kCentreX, kCentreY);
  EXPECT_EQ(reported, (std::vector<std::string>{"Front:0"}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Front"}));
}

// A handler of the pick that frees the view ends the reports: neither an
// object's Picked nor the view's OnPicked handler is called through the
// freed view (run under the address sanitizer too).
TEST_F(PickTest, AHandlerThatFreesTheViewEndsTheReports) {
  for (const bool fromObject : {true, false}) {
    SCOPED_TRACE(fromObject ? "object's Picked" : "view's OnPicked");
    if (view == nullptr) {
      view = MakeView(64, 48);
      view->SetScene(scene);
      view->SetCamera(camera);
    }
    TKV3DObject* near = Place(fromObject ? "Near" : "Near2", 0, 0, 10);
    TKV3DObject* far = Place(fromObject ? "Far" : "Far2", 0, 0, 20);
    int calls = 0;
    const auto freeView = [&] {
      ++calls;
      delete view;
      view = nullptr;
    };
    if (fromObject) {
      near->OnFramePicked = [&](TObject*, std::int32_t) { freeView(); };
      far->OnFramePicked = [&](TObject*, std::int32_t) { ++calls; };
    } else {
      view->OnPicked = [&](TObject*, TObject*, std::int32_t) { freeView(); };
    }
    TKV3DView* picking = view;
    picking->GenPick(kCentreX, kCentreY);
    EXPECT_EQ(view, nullptr);
    EXPECT_EQ(calls, 1);
    delete near;
    delete far;
  }
}

}  // namespace
}  // namespace kvtest
