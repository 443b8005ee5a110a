// Looking owned components up by name while names, owners and the owned
// lists change underneath: renames, removals, moves between owners, frees
// from notification handlers and refused names.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "TestClasses.h"
#include "korvane3d/host/Error.h"

using namespace kv;
using namespace kvtest;

namespace {

TTestThing* Named(TComponent* owner, const std::string& name) {
  auto* t = new TTestThing(owner);
  EXPECT_TRUE(t->SetName(name)) << LastErrorText();
  return t;
}

// What FindComponent must answer: the first listed component whose name
// matches without regard to case.
TComponent* ScanFor(const TComponent* owner, const std::string& name) {
  if (name.empty()) return nullptr;
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    if (SameText(owner->Components(i)->Name(), name)) return owner->Components(i);
  }
  return nullptr;
}

// Frees its victim when told of the component it watches for.
class TFreeOnNotify : public TComponent {
 public:
  using TComponent::TComponent;
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (component == trigger && victim.get() != nullptr) delete victim.get();
  }
  TComponent* trigger = nullptr;
  Link<TComponent> victim;
};

}  // namespace

TEST(ComponentNames, RenamesMoveTheNameAndFreeTheOldOne) {
  auto form = std::make_unique<TComponent>(nullptr);
  TTestThing* ball = Named(form.get(), "ball");

  // Another case of its own name: still found by every spelling.
  ASSERT_TRUE(ball->SetName("BALL"));
  EXPECT_EQ(form->FindComponent("Ball"), ball);
  EXPECT_EQ(form->FindComponent("ball"), ball);

  ASSERT_TRUE(ball->SetName("Sphere"));
  EXPECT_EQ(form->FindComponent("ball"), nullptr);
  EXPECT_EQ(form->FindComponent("SPHERE"), ball);
  // The old name is free again, the new one is taken.
  TTestThing* other = Named(form.get(), "Ball");
  EXPECT_FALSE(other->SetName("sphere"));
  EXPECT_EQ(other->Name(), "Ball");
  EXPECT_EQ(form->FindComponent("sphere"), ball);
  EXPECT_EQ(form->FindComponent("ball"), other);

  // Refused names leave both the name and the lookup as they were.
  EXPECT_FALSE(ball->SetName("9lives"));
  EXPECT_EQ(form->FindComponent("Sphere"), ball);
  EXPECT_EQ(form->FindComponent("9lives"), nullptr);

  // Cleared names are not found, not even by "".
  ASSERT_TRUE(ball->SetName(""));
  EXPECT_EQ(form->FindComponent("Sphere"), nullptr);
  EXPECT_EQ(form->FindComponent(""), nullptr);
  TTestThing* unnamed = Named(form.get(), "");
  EXPECT_EQ(form->FindComponent(""), nullptr);
  EXPECT_TRUE(unnamed->SetName("Sphere"));
  EXPECT_EQ(form->FindComponent("sphere"), unnamed);
}

TEST(ComponentNames, RemovedAndMovedComponentsLeaveTheOldOwnersLookup) {
  auto first = std::make_unique<TComponent>(nullptr);
  auto second = std::make_unique<TComponent>(nullptr);
  TTestThing* cube = Named(first.get(), "Cube");

  // Renamed, then removed: neither name is left behind.
  ASSERT_TRUE(cube->SetName("Box"));
  ASSERT_TRUE(first->RemoveComponent(cube));
  std::unique_ptr<TTestThing> unowned(cube);  // the caller owns it now
  EXPECT_EQ(first->FindComponent("Box"), nullptr);
  EXPECT_EQ(first->FindComponent("Cube"), nullptr);
  // Renamed while unowned: no owner learns of it until it is inserted.
  ASSERT_TRUE(cube->SetName("Crate"));
  EXPECT_EQ(first->FindComponent("Crate"), nullptr);

  ASSERT_TRUE(second->InsertComponent(unowned.release()));
  EXPECT_EQ(second->FindComponent("crate"), cube);
  Named(first.get(), "Crate");

  // Moved straight from one owner to another, and refused on a taken name.
  EXPECT_FALSE(first->InsertComponent(cube));
  EXPECT_EQ(second->FindComponent("Crate"), cube);
  ASSERT_TRUE(cube->SetName("Chest"));
  ASSERT_TRUE(first->InsertComponent(cube));
  EXPECT_EQ(second->FindComponent("Chest"), nullptr);
  EXPECT_EQ(first->FindComponent("CHEST"), cube);
  EXPECT_TRUE(Named(second.get(), "Chest") != nullptr);  // free there again

  // Freed: its name goes with it.
  delete cube;
  EXPECT_EQ(first->FindComponent("Chest"), nullptr);
  EXPECT_TRUE(Named(first.get(), "chest") != nullptr);
}

TEST(ComponentNames, ComponentsFreedByANotificationHandlerLeaveTheLookup) {
  auto form = std::make_unique<TComponent>(nullptr);
  auto* watcher = new TFreeOnNotify(form.get());
  TTestThing* victim = Named(form.get(), "Victim");
  watcher->victim = victim;
  Named(form.get(), "Bystander");
  // Inserting the trigger frees the victim while the form is still telling
  // its components; the rest of the broadcast must not trip over it.
  auto* trigger = new TTestThing(nullptr);
  watcher->trigger = trigger;
  ASSERT_TRUE(form->InsertComponent(trigger));

  EXPECT_EQ(form->FindComponent("Victim"), nullptr);
  EXPECT_EQ(form->FindComponent("Bystander"), ScanFor(form.get(), "Bystander"));
  EXPECT_EQ(form->ComponentCount(), 3);
  EXPECT_TRUE(trigger->SetName("Victim"));
  EXPECT_EQ(form->FindComponent("victim"), trigger);
}

TEST(ComponentNames, LookupAgreesWithAScanThroughRandomChanges) {
  // Two owners, a pool of names in mixed case, and a long run of creates,
  // frees, renames (some refused) and moves; after every step each name
  // must be found exactly where a scan of the owned list finds it.
  const std::vector<std::string> names = {"", "a", "A", "b", "B", "ab", "Ab", "aB", "c", "_x", "X_"};
  auto owners = std::vector<std::unique_ptr<TComponent>>();
  owners.push_back(std::make_unique<TComponent>(nullptr));
  owners.push_back(std::make_unique<TComponent>(nullptr));
  std::mt19937 random(12345);
  auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };

  for (int step = 0; step < 3000; ++step) {
    TComponent* owner = owners[pick(2)].get();
    TComponent* other = owners[0].get() == owner ? owners[1].get() : owners[0].get();
    const int count = owner->ComponentCount();
    TComponent* some = count > 0 ? owner->Components(static_cast<int>(pick(static_cast<std::size_t>(count)))) : nullptr;
    switch (pick(4)) {
      case 0:
        (new TTestThing(owner))->SetName(names[pick(names.size())]);
        break;
      case 1:
        delete some;
        break;
      case 2:
        if (some != nullptr) some->SetName(names[pick(names.size())]);
        break;
      default:
        if (some != nullptr) other->InsertComponent(some);
        break;
    }
    for (const auto& o : owners) {
      for (const std::string& name : names) {
        ASSERT_EQ(o->FindComponent(name), ScanFor(o.get(), name)) << "step " << step << " name '" << name << "'";
      }
    }
  }
}
