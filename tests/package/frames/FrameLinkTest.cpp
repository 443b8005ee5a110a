// Links between frames (each told when the other is freed) while frames are
// removed from their owners, moved, and freed from notification handlers.
// A broken link shows as a frame told of, or reaching, one already freed.
#include <functional>
#include <memory>
#include <vector>

#include "FrameFixture.h"

using namespace kv;

namespace kvtest {
namespace {

// Runs `onParentGone` when told that the frame it watches is being freed.
class TWatchingFrame : public TKV3DFrame {
 public:
  using TKV3DFrame::TKV3DFrame;
  void Notification(TComponent* component, TOperation operation) override {
    TKV3DFrame::Notification(component, operation);
    if (operation == opRemove && component == watched && onWatchedGone) onWatchedGone();
  }
  TComponent* watched = nullptr;
  std::function<void()> onWatchedGone;
};

TEST_F(FrameTest, AFrameRemovedFromItsOwnerDropsItsLinksBothWays) {
  // Removed from the form, the child is no longer told of the form's
  // frees; the parent forgets it and it must forget the parent too, or it
  // would tell a freed parent when it goes. Also with a parent whose list is
  // long, and with the child put back into the form before the parent goes.
  for (int siblings : {0, 20}) {
    for (bool putBack : {false, true}) {
      SCOPED_TRACE(testing::Message() << siblings << " siblings, put back " << putBack);
      TKV3DFrame* parent = Make();
      for (int i = 0; i < siblings; ++i) Make()->SetParentFrame(parent);
      TKV3DFrame* child = Make("Child");
      child->SetParentFrame(parent);
      TForm elsewhere(nullptr);
      ASSERT_TRUE(elsewhere.InsertComponent(child));
      EXPECT_FALSE(parent->IsInNotifyList(child));
      EXPECT_FALSE(child->IsInNotifyList(parent));
      if (putBack) {
        ASSERT_TRUE(form->InsertComponent(child));
      }
      delete parent;
      EXPECT_EQ(child->ParentFrame(), nullptr);
      delete child;
      form->DestroyComponents();
    }
  }
}

TEST_F(FrameTest, LinkedFramesFreedByAHandlerAreNotToldAgain) {
  // Two frames of another form linked to a parent; the first one told of
  // the parent's freeing frees the second.
  TKV3DFrame* parent = Make();
  TForm elsewhere(nullptr);
  auto* first = new TWatchingFrame(&elsewhere);
  Link<TKV3DFrame> second;
  second = new TKV3DFrame(&elsewhere);
  first->SetParentFrame(parent);
  second->SetParentFrame(parent);
  first->watched = parent;
  first->onWatchedGone = [&second] { delete second.get(); };
  delete parent;
  EXPECT_EQ(second.get(), nullptr);
  EXPECT_EQ(first->ParentFrame(), nullptr);
  EXPECT_EQ(elsewhere.ComponentCount(), 1);
}

TEST_F(FrameTest, AFrameBeingFreedTakesNoNewLinks) {
  // A handler tries to hang a frame under the parent while it goes; the
  // frame must not keep a link to it once it is gone.
  TKV3DFrame* parent = Make();
  TForm elsewhere(nullptr);
  auto* watcher = new TWatchingFrame(&elsewhere);
  auto* latecomer = new TKV3DFrame(&elsewhere);
  watcher->SetParentFrame(parent);
  watcher->watched = parent;
  watcher->onWatchedGone = [latecomer, parent] { latecomer->SetParentFrame(parent); };
  delete parent;
  EXPECT_EQ(latecomer->ParentFrame(), nullptr);
  delete latecomer;  // would tell the freed parent if it were still linked
}

TEST_F(FrameTest, ManyChildrenAreUnlinkedOneByOneAsTheyGo) {
  // A parent with a long list: children freed in any order, removed from
  // the form or re-parented each leave it, and the rest stay linked.
  TKV3DFrame* parent = Make();
  std::vector<TKV3DFrame*> children;
  for (int i = 0; i < 30; ++i) {
    children.push_back(Make());
    children.back()->SetParentFrame(parent);
  }
  TKV3DFrame* other = Make();
  delete children[3];
  delete children[29];
  ASSERT_TRUE(form->RemoveComponent(children[10]));
  std::unique_ptr<TKV3DFrame> removed(children[10]);  // the caller owns it now
  children[20]->SetParentFrame(other);
  for (int i : {0, 5, 20, 28}) EXPECT_TRUE(parent->IsInNotifyList(children[static_cast<std::size_t>(i)])) << i;
  EXPECT_TRUE(other->IsInNotifyList(children[20]));
  EXPECT_FALSE(parent->IsInNotifyList(removed.get()));
  delete parent;
  for (int i : {0, 5, 20, 28}) {
    EXPECT_EQ(children[static_cast<std::size_t>(i)]->ParentFrame(), i == 20 ? other : nullptr) << i;
  }
  removed.reset();
}

}  // namespace
}  // namespace kvtest
