// Link<T>: the weak reference between components.
#include <gtest/gtest.h>

#include <memory>

#include "TestClasses.h"

using namespace kv;
using namespace kvtest;

TEST(Link, ReadsNullOnceTheTargetIsFreedAndRunsItsCallback) {
  auto form = std::make_unique<TComponent>(nullptr);
  auto* target = new TTestThing(form.get());
  int cleared = 0;
  Link<TTestThing> link([&] { ++cleared; });
  link = target;
  Link<TTestThing> copy = link;
  EXPECT_EQ(link.get(), target);
  EXPECT_EQ(copy.get(), target);

  delete target;
  EXPECT_EQ(link.get(), nullptr);
  EXPECT_FALSE(link);
  EXPECT_EQ(copy.get(), nullptr);
  EXPECT_EQ(cleared, 1);
}

TEST(Link, ClearedWhenTheTargetGoesWithItsOwner) {
  auto form = std::make_unique<TComponent>(nullptr);
  auto* a = new TTestThing(form.get());
  auto* b = new TTestThing(form.get());
  a->SetPartner(b);
  b->SetPartner(a);
  Link<TTestThing> outside(a);
  form.reset();
  EXPECT_EQ(outside.get(), nullptr);
}

TEST(Link, RetargetingAndLinkLifetimesKeepTheTargetsListSound) {
  auto form = std::make_unique<TComponent>(nullptr);
  auto* a = new TTestThing(form.get());
  auto* b = new TTestThing(form.get());
  {
    std::vector<Link<TTestThing>> many;
    for (int i = 0; i < 10; ++i) many.emplace_back(i % 2 ? a : b);
    many.erase(many.begin() + 3, many.begin() + 7);  // links die in the middle of the list
    many[0] = a;
    many[1] = nullptr;
  }
  Link<TTestThing> survivor(a);
  survivor = b;
  delete a;
  EXPECT_EQ(survivor.get(), b);
  delete b;
  EXPECT_EQ(survivor.get(), nullptr);
}

TEST(Link, CannotAimAtAComponentBeingFreed) {
  struct TSelfLinker : TComponent {
    ~TSelfLinker() override {
      Destroying();
      late = this;  // too late: stays null
    }
    Link<TComponent>& late;
    TSelfLinker(TComponent* owner, Link<TComponent>& l) : TComponent(owner), late(l) {}
  };
  Link<TComponent> link;
  auto form = std::make_unique<TComponent>(nullptr);
  new TSelfLinker(form.get(), link);
  form.reset();
  EXPECT_EQ(link.get(), nullptr);
}

TEST(Link, AReferencePropertyHeldInALinkIsClearedWhenItsTargetIsFreed) {
  auto form = std::make_unique<TComponent>(nullptr);
  auto* a = new TTestThing(form.get());
  auto* b = new TTestThing(form.get());
  a->SetPartner(b);
  delete b;
  EXPECT_EQ(a->Partner(), nullptr);
}
