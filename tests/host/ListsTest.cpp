// TList and TStringList.
#include <gtest/gtest.h>

#include "TestClasses.h"
#include "korvane3d/host/Lists.h"

using namespace kv;

TEST(StringList, SortedListsFindWithoutRegardToCaseAndKeepObjects) {
  TStringList list;
  list.SetSorted(true);
  kvtest::TTestOther a(nullptr), b(nullptr);
  EXPECT_EQ(list.AddObject("delta", &a), 0);
  list.Add("Alpha");
  list.Add("charlie");
  EXPECT_EQ(list.AddObject("BRAVO", &b), 1);
  EXPECT_EQ(list.Strings(0), "Alpha");
  EXPECT_EQ(list.Strings(3), "delta");

  int index = -1;
  EXPECT_TRUE(list.Find("bravo", index));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(list.Objects(index), &b);
  EXPECT_FALSE(list.Find("beta", index));
  EXPECT_EQ(index, 1);  // where it would go
  EXPECT_EQ(list.IndexOf("DELTA"), 3);

  EXPECT_EQ(list.Add("ALPHA"), 0);  // duplicates ignored by default
  EXPECT_EQ(list.Count(), 4);
  list.SetDuplicates(dupError);
  EXPECT_EQ(list.Add("alpha"), -1);
  list.SetDuplicates(dupAccept);
  list.Add("alpha");
  EXPECT_EQ(list.Count(), 5);

  EXPECT_FALSE(list.Insert(0, "zulu"));  // a sorted list places entries itself
  EXPECT_TRUE(list.Delete(0));
  EXPECT_FALSE(list.Delete(10));
  EXPECT_EQ(list.Strings(10), "");
  EXPECT_EQ(list.Objects(-1), nullptr);
}

TEST(StringList, SortingLaterAndCaseSensitivity) {
  TStringList list;
  for (const char* s : {"b", "A", "c", "a"}) list.Add(s);
  EXPECT_EQ(list.IndexOf("C"), 2);  // unsorted: linear, still case-insensitive
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("C"), -1);
  list.SetSorted(true);
  EXPECT_EQ(list.Strings(0), "A");
  EXPECT_EQ(list.Strings(1), "a");
  EXPECT_EQ(list.Strings(3), "c");
}

TEST(List, PointersWithCheckedIndices) {
  TList list;
  int x = 0, y = 0;
  list.Add(&x);
  EXPECT_TRUE(list.Insert(0, &y));
  EXPECT_EQ(list.First(), &y);
  EXPECT_EQ(list.Remove(&y), 0);
  EXPECT_EQ(list.Remove(&y), -1);
  EXPECT_EQ(list.Items(5), nullptr);
  EXPECT_FALSE(list.Insert(3, &x));
  EXPECT_EQ(list.Last(), &x);
}
