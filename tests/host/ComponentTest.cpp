// Ownership, names, notifications and teardown of TComponent.
#include <gtest/gtest.h>

#include <memory>

#include "TestClasses.h"
#include "korvane3d/host/Error.h"

using namespace kv;
using namespace kvtest;

namespace {

TTestThing* Named(TComponent* owner, const char* name) {
  auto* t = new TTestThing(owner);
  EXPECT_TRUE(t->SetName(name)) << LastErrorText();
  return t;
}

// A component that frees another one from its destructor.
class TSiblingKiller : public TComponent {
 public:
  using TComponent::TComponent;
  ~TSiblingKiller() override { delete victim.get(); }
  Link<TComponent> victim;
};

// A component that creates a new sibling while it is being freed.
class TSpawner : public TComponent {
 public:
  using TComponent::TComponent;
  ~TSpawner() override {
    if (Owner() != nullptr) new TComponent(Owner());
  }
};

}  // namespace

TEST(Component, OwnerFreesOwnedLastFirstAndTheyLeaveTheList) {
  Log().clear();
  auto form = std::make_unique<TComponent>(nullptr);
  TTestThing* a = Named(form.get(), "A");
  TTestThing* b = Named(form.get(), "B");
  Named(form.get(), "C");
  ASSERT_EQ(form->ComponentCount(), 3);
  EXPECT_EQ(form->Components(1), b);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_EQ(form->Components(3), nullptr);
  EXPECT_EQ(form->FindComponent("b"), b);

  delete a;  // freed on its own: leaves its owner
  EXPECT_EQ(form->ComponentCount(), 2);
  EXPECT_EQ(form->FindComponent("A"), nullptr);

  Log().clear();
  form.reset();
  // C goes first, so B hears about it while both are alive.
  ASSERT_FALSE(Log().empty());
  EXPECT_EQ(Log().front(), "B remove C");
}

TEST(Component, NotificationsReachOwnerAndEverySiblingButNotTheSubject) {
  Log().clear();
  auto owner = std::make_unique<TTestThing>(nullptr);
  owner->SetName("Owner");
  TTestThing* a = Named(owner.get(), "A");
  Log().clear();
  auto* b = new TTestThing(owner.get());
  // The owner and A hear of the insert; B itself does not.
  EXPECT_EQ(Log(), (std::vector<std::string>{"Owner insert ", "A insert "}));
  b->SetName("B");

  // Components owned further down hear of it too.
  TTestThing* nested = Named(a, "Nested");
  Log().clear();
  delete b;
  EXPECT_EQ(Log(), (std::vector<std::string>{"Owner remove B", "A remove B", "Nested remove B"}));
  (void)nested;
}

namespace {
// Reacts to live removals only, and says so; a subclass that overrides
// Notification again does not inherit that promise.
class TVouching : public TComponent {
 public:
  using TComponent::TComponent;
  using NotificationIgnoresInsertsAndFrees = TVouching;
  void Notification(TComponent* c, TOperation op) override { TComponent::Notification(c, op); }
};
class TVouchingHeir : public TVouching {
  using TVouching::TVouching;
};
class TVouchingOverridden : public TVouching {
 public:
  using TVouching::TVouching;
  void Notification(TComponent* c, TOperation op) override { TVouching::Notification(c, op); }
};
static_assert(detail::IgnoresInsertsAndFrees<TComponent>());
static_assert(detail::IgnoresInsertsAndFrees<TTestOther>());
static_assert(!detail::IgnoresInsertsAndFrees<TTestThing>());
static_assert(!detail::IgnoresInsertsAndFrees<TTestThingEx>());
static_assert(detail::IgnoresInsertsAndFrees<TVouching>());
static_assert(detail::IgnoresInsertsAndFrees<TVouchingHeir>());
static_assert(!detail::IgnoresInsertsAndFrees<TVouchingOverridden>());
}  // namespace

TEST(Component, ComponentsThatTakeNoNoticeStillPassNotificationsOn) {
  // Made by their class, TTestOther components are left out of inserts and
  // frees; one that comes to own a listener passes them on again, in order.
  RegisterTestClasses();
  Log().clear();
  auto form = std::make_unique<TTestThing>(nullptr);
  form->SetName("Form");
  TComponent* quiet = TTestOther::StaticClass().Create(form.get());
  TComponent* holder = TTestOther::StaticClass().Create(form.get());
  TTestThing* first = Named(form.get(), "First");
  TTestThing* inner = Named(holder, "Inner");
  auto* heard = static_cast<TTestThing*>(TTestThingEx::StaticClass().Create(form.get()));
  heard->SetName("Heard");
  Log().clear();
  TTestThing* x = Named(form.get(), "X");
  delete x;
  EXPECT_EQ(Log(), (std::vector<std::string>{"Form insert ", "Inner insert ", "First insert ", "Heard insert ",
                                             "Form remove X", "Inner remove X", "First remove X", "Heard remove X"}));
  // A component that leaves alive is announced to every one of them.
  Log().clear();
  ASSERT_TRUE(form->RemoveComponent(quiet));
  std::unique_ptr<TComponent> removed(quiet);  // the caller owns it now
  EXPECT_EQ(Log(), (std::vector<std::string>{"Form remove ", "Inner remove ", "First remove ", "Heard remove "}));
  (void)first;
  (void)inner;
}

namespace {
// Registered and vouching, but counting what reaches it: shows which
// notifications an owner passes over.
class TCountingVouching : public TComponent {
 public:
  KV_DECLARE_CLASS()
  using TComponent::TComponent;
  using NotificationIgnoresInsertsAndFrees = TCountingVouching;
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    ++heard;
  }
  int heard = 0;
};
// Not registered: its type is its own, so its owner cannot vouch for it.
class TCountingHeir : public TCountingVouching {
 public:
  using TCountingVouching::TCountingVouching;
  void Notification(TComponent* c, TOperation op) override {
    TCountingVouching::Notification(c, op);
    Log().push_back("Heir " + std::string(op == opInsert ? "insert " : "remove ") + c->Name());
  }
};
}  // namespace

const TClassInfo& TCountingVouching::StaticClass() {
  static const TClassInfo info = DefineClass<TCountingVouching, TComponent>("TCountingVouching");
  return info;
}

TEST(Component, ComponentsMadeWithNewArePassedOverByTheirExactClass) {
  // Code that makes thousands of components with `new` must not pay for
  // notifications none of them takes notice of, nor may a subclass that
  // listens again miss one.
  auto form = std::make_unique<TTestThing>(nullptr);
  form->SetName("Form");
  auto* quiet = new TCountingVouching(form.get());
  auto* holder = new TCountingVouching(form.get());
  auto* heir = new TCountingHeir(form.get());
  TTestThing* inner = Named(holder, "Inner");
  Log().clear();
  const int quietBefore = quiet->heard, holderBefore = holder->heard, heirBefore = heir->heard;
  TTestThing* x = Named(form.get(), "X");
  delete x;
  EXPECT_EQ(quiet->heard, quietBefore);
  // One that owns components passes notifications on to them.
  EXPECT_EQ(holder->heard, holderBefore + 2);
  EXPECT_EQ(heir->heard, heirBefore + 2);
  EXPECT_EQ(Log(), (std::vector<std::string>{"Form insert ", "Inner insert ", "Heir insert ", "Form remove X",
                                             "Inner remove X", "Heir remove X"}));
  // A component that leaves alive still reaches every one.
  auto* leaving = new TTestThing(form.get());
  const int quietNow = quiet->heard;
  ASSERT_TRUE(form->RemoveComponent(leaving));
  std::unique_ptr<TTestThing> removed(leaving);
  EXPECT_EQ(quiet->heard, quietNow + 1);
  (void)inner;
}

TEST(Component, RemoveNotificationComesWhileTheComponentIsStillListed) {
  struct TWatcher : TComponent {
    using TComponent::TComponent;
    void Notification(TComponent* c, TOperation op) override {
      TComponent::Notification(c, op);
      if (op == opRemove) {
        stillListed = Owner()->FindComponent(c->Name()) == c;
        nameThen = c->Name();
      }
    }
    bool stillListed = false;
    std::string nameThen;
  };
  auto form = std::make_unique<TComponent>(nullptr);
  auto* watcher = new TWatcher(form.get());
  TTestThing* victim = Named(form.get(), "Victim");
  delete victim;
  EXPECT_TRUE(watcher->stillListed);
  EXPECT_EQ(watcher->nameThen, "Victim");
}

TEST(Component, NamesAreValidatedAndUniqueWithoutRegardToCase) {
  auto form = std::make_unique<TComponent>(nullptr);
  TTestThing* a = Named(form.get(), "Ball");
  auto* b = new TTestThing(form.get());

  EXPECT_FALSE(b->SetName("BALL"));
  EXPECT_NE(LastErrorText().find("duplicate component name"), std::string::npos) << LastErrorText();
  EXPECT_EQ(a->Name(), "Ball");
  EXPECT_EQ(b->Name(), "");

  for (const char* bad : {"1ball", "ba ll", "ball-2", "b.c"}) {
    EXPECT_FALSE(b->SetName(bad)) << bad;
  }
  EXPECT_EQ(b->Name(), "");
  EXPECT_TRUE(b->SetName("_ball2"));
  EXPECT_TRUE(a->SetName("BALL"));  // its own name in another case
  EXPECT_TRUE(b->SetName(""));      // unnamed components never collide
  EXPECT_TRUE(a->SetName(""));
}

TEST(Component, InsertComponentMovesOwnershipAndRefusesCyclesAndDuplicates) {
  auto first = std::make_unique<TComponent>(nullptr);
  auto second = std::make_unique<TComponent>(nullptr);
  TTestThing* x = Named(first.get(), "X");
  Named(second.get(), "X");

  EXPECT_FALSE(second->InsertComponent(x));  // name taken there
  EXPECT_EQ(x->Owner(), first.get());
  x->SetName("Y");
  EXPECT_TRUE(second->InsertComponent(x));
  EXPECT_EQ(x->Owner(), second.get());
  EXPECT_EQ(first->ComponentCount(), 0);

  TTestThing* child = Named(x, "Child");
  EXPECT_FALSE(child->InsertComponent(x));  // would own its owner
  EXPECT_FALSE(x->InsertComponent(x));
  EXPECT_EQ(child->Owner(), x);

  EXPECT_TRUE(second->RemoveComponent(x));
  std::unique_ptr<TTestThing> freed(x);  // the caller owns it now
  EXPECT_EQ(second->ComponentCount(), 1);
}

TEST(Component, TeardownToleratesAChildFreeingItsSibling) {
  for (bool killerFirst : {true, false}) {
    auto form = std::make_unique<TComponent>(nullptr);
    TSiblingKiller* killer = nullptr;
    TComponent* victim = nullptr;
    if (killerFirst) {
      killer = new TSiblingKiller(form.get());
      victim = new TComponent(form.get());
    } else {
      victim = new TComponent(form.get());
      killer = new TSiblingKiller(form.get());
    }
    new TComponent(form.get());
    killer->victim = victim;
    form.reset();  // ASan reports any double free or use after free
  }
}

TEST(Component, TeardownFreesComponentsCreatedDuringTeardown) {
  auto form = std::make_unique<TComponent>(nullptr);
  new TSpawner(form.get());
  new TSpawner(form.get());
  form.reset();  // the spawned ones are freed too (ASan leak check)
}

TEST(Component, FreeNotificationReachesComponentsOfOtherOwners) {
  Log().clear();
  auto formA = std::make_unique<TComponent>(nullptr);
  auto formB = std::make_unique<TComponent>(nullptr);
  TTestThing* watcher = Named(formA.get(), "Watcher");
  TTestThing* target = Named(formB.get(), "Target");
  target->FreeNotification(watcher);
  Log().clear();
  delete target;
  EXPECT_EQ(Log(), (std::vector<std::string>{"Watcher remove Target"}));

  // Undone automatically when the watcher goes first.
  TTestThing* target2 = Named(formB.get(), "Target2");
  target2->FreeNotification(watcher);
  delete watcher;
  Log().clear();
  delete target2;
  EXPECT_TRUE(Log().empty());
}

TEST(Component, StateFlagsAndDesigningSpreadToOwned) {
  auto form = std::make_unique<TComponent>(nullptr);
  TTestThing* a = Named(form.get(), "A");
  form->SetDesigning(true);
  EXPECT_TRUE(a->ComponentState().Contains(csDesigning));
  a->SetStateFlag(csLoading, true);
  a->Loaded();
  EXPECT_FALSE(a->ComponentState().Contains(csLoading));
}

TEST(Persistent, AssignCopiesKnownPairsAndRefusesOthersIntact) {
  TTestPoint p(nullptr), q(nullptr);
  p.SetX(3);
  p.Range()->SetLow(-4);
  EXPECT_TRUE(q.Assign(&p));
  EXPECT_EQ(q.X(), 3);
  EXPECT_EQ(q.Range()->Low(), -4);

  TTestRange r(nullptr);
  r.SetLow(7);
  EXPECT_FALSE(r.Assign(&p));
  EXPECT_EQ(LastErrorText(), "cannot assign a TTestPoint to a TTestRange");
  EXPECT_EQ(r.Low(), 7);
  EXPECT_FALSE(r.Assign(nullptr));
}

TEST(Persistent, NamePathFollowsOwners) {
  auto form = std::make_unique<TComponent>(nullptr);
  form->SetName("Form1");
  TTestThing* ball = Named(form.get(), "Ball");
  EXPECT_EQ(ball->Position()->Range()->GetNamePath(), "Form1.Ball.Position.Range");
}
