// Published property tables and generic access by name.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "TestClasses.h"
#include "korvane3d/host/Color.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/Properties.h"
#include "korvane3d/host/Registry.h"

using namespace kv;
using namespace kvtest;

namespace {
std::string Text(TObject& o, const char* path) {
  std::string text;
  EXPECT_TRUE(GetPropText(o, path, text)) << path << ": " << LastErrorText();
  return text;
}
}  // namespace

TEST(Properties, TablesKeepPublishingOrderAndExtendTheParent) {
  const auto& props = TTestThingEx::StaticClass().Properties();
  std::vector<std::string> names;
  for (const PropInfo& p : props) names.push_back(p.name);
  const std::vector<std::string> expected{"Name",  "Tag",     "Enabled", "Count",    "Small",  "Mask",
                                          "Scale", "Precise", "Shape",   "Options",  "Caption", "Color",
                                          "Partner", "Position", "Positive", "OnPing", "OnValue", "Extra"};
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(TTestThingEx::StaticClass().InheritsFrom(TComponent::StaticClass()));
  EXPECT_EQ(TTestThingEx::StaticClass().FindProperty("extra"), &props.back());
}

TEST(Properties, TextAccessCoversEveryKind) {
  auto form = std::make_unique<TComponent>(nullptr);
  auto* t = new TTestThing(form.get());
  auto* other = new TTestThing(form.get());
  other->SetName("Other");

  struct Row {
    const char* path;
    const char* in;
    const char* out;
  };
  const Row rows[] = {
      {"Enabled", "false", "False"},
      {"Count", "$10", "16"},
      {"Count", "-2147483648", "-2147483648"},
      {"Mask", "4294967295", "4294967295"},
      {"Scale", "0.1", "0.1"},
      {"Precise", "1.5E-3", "0.0015"},
      {"Precise", "1e300", "1e+300"},
      {"Precise", "-Inf", "-Inf"},
      {"Shape", "TSSPHERE", "tsSphere"},
      {"Options", "[toHidden, toSmooth]", "[toSmooth, toHidden]"},
      {"Options", "[]", "[]"},
      {"Caption", "'It''s'#13#10'x'", "'It''s'#13#10'x'"},
      {"Color", "clBtnFace", "clBtnFace"},
      {"Color", "$00FF8000", "$00FF8000"},
      {"Color", "-16777201", "$FF00000F"},
      {"Partner", "other", "Other"},
      {"Partner", "nil", "nil"},
      {"Position.X", "5", "5.0"},
      {"position.range.low", "-3", "-3"},
  };
  for (const Row& r : rows) {
    ASSERT_TRUE(SetPropText(*t, r.path, r.in)) << r.path << " = " << r.in << ": " << LastErrorText();
    EXPECT_EQ(Text(*t, r.path), r.out) << r.path << " = " << r.in;
  }
  EXPECT_EQ(t->Position()->Range()->Low(), -3);
}

TEST(Properties, BadValuesAreRefusedAndLeaveTheValue) {
  auto form = std::make_unique<TComponent>(nullptr);
  auto* t = new TTestThing(form.get());
  auto* wrong = new TTestOther(form.get());
  wrong->SetName("Wrong");
  struct Row {
    const char* path;
    const char* in;
    const char* error;
  };
  const Row rows[] = {
      {"Count", "2147483648", "value out of range"},
      {"Count", "1.5", "not an integer"},
      {"Count", "'7'", "expected an integer"},
      {"Small", "40000", "value out of range"},
      {"Mask", "-1", "value out of range"},
      {"Scale", "1e39", "value out of range"},
      {"Scale", "1.2.3", "not a number"},
      {"Enabled", "1", "expected True or False"},
      {"Shape", "tsBlob", "not a value of TTestShape"},
      {"Shape", "3", "not a value of TTestShape"},
      {"Options", "[toSmooth, toBlob]", "not a value of TTestOption"},
      {"Options", "toSmooth", "expected a set"},
      {"Caption", "'open", "unterminated string"},
      {"Caption", "#300", "bad character code"},
      {"Color", "clPink", "not a colour"},
      {"Color", "$100000000", "not a colour"},
      {"Partner", "Nobody", "no component named Nobody"},
      {"Partner", "Wrong", "Wrong is a TTestOther, not a TTestThing"},
      {"Positive", "-1", "must not be negative"},
      {"Position", "1", "is an object"},
      {"Position.Z", "1", "unknown property of TTestThing"},
      {"Count", "1 2", "after the value"},
      {"OnPing", "Missing", "no method named Missing"},
  };
  std::string before;
  for (const Row& r : rows) {
    std::string path = r.path;
    const bool object = path == "Position";
    if (!object && path != "Position.Z") before = Text(*t, r.path);
    EXPECT_FALSE(SetPropText(*t, r.path, r.in)) << r.path << " = " << r.in;
    EXPECT_NE(LastErrorText().find(r.error), std::string::npos) << r.path << ": " << LastErrorText();
    if (!object && path != "Position.Z") {
      EXPECT_EQ(Text(*t, r.path), before) << r.path;
    }
  }
}

TEST(Properties, TypedAccessChecksTypesAndCopiesObjectsWithAssign) {
  auto form = std::make_unique<TComponent>(nullptr);
  auto* t = new TTestThing(form.get());
  EXPECT_TRUE(SetPropValue(*t, "Count", PropValue(std::int64_t{42})));
  EXPECT_EQ(t->Count(), 42);
  EXPECT_FALSE(SetPropValue(*t, "Count", PropValue(std::string("42"))));
  EXPECT_FALSE(SetPropValue(*t, "Options", PropValue(std::uint64_t{8})));  // bit 3: no such value
  EXPECT_TRUE(SetPropValue(*t, "Options", PropValue(std::uint64_t{5})));
  EXPECT_EQ(t->Options(), (TTestOptions{toSmooth, toHidden}));

  TTestPoint source(nullptr);
  source.SetY(9);
  EXPECT_TRUE(SetPropValue(*t, "Position", PropValue(static_cast<TObject*>(&source))));
  EXPECT_EQ(t->Position()->Y(), 9);

  PropValue v;
  ASSERT_TRUE(GetPropValue(*t, "Scale", v));
  EXPECT_EQ(std::get<double>(v), 1.0);
}

TEST(Properties, EventsBindRegisteredMethodsWithTheirOwnSignature) {
  auto form = std::make_unique<TComponent>(nullptr);
  auto* t = new TTestThing(form.get());
  int pings = 0;
  form->RegisterMethod("Ping", [&](TObject* sender) { pings += sender == t; });
  form->RegisterMethod("Value", [](TObject*, int& v) { v = 7; });

  EXPECT_TRUE(SetPropText(*t, "OnPing", "Ping"));
  t->OnPing(t);
  EXPECT_EQ(pings, 1);
  EXPECT_EQ(Text(*t, "OnPing"), "Ping");

  EXPECT_FALSE(SetPropText(*t, "OnValue", "Ping"));  // wrong parameters
  EXPECT_NE(LastErrorText().find("does not match"), std::string::npos);
  EXPECT_FALSE(t->OnValue);
  EXPECT_TRUE(SetPropText(*t, "OnValue", "Value"));
  int v = 0;
  t->OnValue(t, v);
  EXPECT_EQ(v, 7);

  t->OnPing = [](TObject*) {};  // bound in code: no name to write
  EXPECT_EQ(Text(*t, "OnPing"), "");
}

TEST(Properties, ListingVisitsNestedObjectsInOrder) {
  TTestThing t(nullptr);
  std::vector<std::string> paths;
  ForEachProperty(t, [&](const std::string& path, TObject&, const PropInfo&) { paths.push_back(path); });
  const auto at = std::find(paths.begin(), paths.end(), "Position");
  ASSERT_NE(at, paths.end());
  EXPECT_EQ(*(at + 1), "Position.X");
  EXPECT_EQ(*(at + 3), "Position.Range");
  EXPECT_EQ(*(at + 4), "Position.Range.Low");
  EXPECT_EQ(*(at + 6), "Positive");
}

TEST(Properties, CopyPublishedPropertiesCopiesValuesButNotNames) {
  TTestThing a(nullptr), b(nullptr);
  a.SetName("A");
  a.SetCount(3);
  a.Position()->Range()->SetHigh(99);
  EXPECT_TRUE(CopyPublishedProperties(a, b));
  EXPECT_EQ(b.Count(), 3);
  EXPECT_EQ(b.Position()->Range()->High(), 99);
  EXPECT_EQ(b.Name(), "");
  TTestOther o(nullptr);
  EXPECT_FALSE(CopyPublishedProperties(a, o));
}

TEST(Colors, NamesAndNumbersRoundTrip) {
  EXPECT_EQ(clBtnFace, 0x8000000Fu);
  EXPECT_EQ(clInfoBk, 0x80000018u);
  TColor c = 0;
  for (TColor color : {clBlack, clNavy, clFuchsia, clWhite, clNone, clDefault, clScrollBar, clBtnFace, clInfoBk,
                       TColor{0x00123456}, TColor{0xFFFFFFFF}}) {
    ASSERT_TRUE(StringToColor(ColorToString(color), c)) << ColorToString(color);
    EXPECT_EQ(c, color);
  }
  EXPECT_EQ(ColorToString(0x00FF8000), "$00FF8000");
  EXPECT_TRUE(StringToColor("CLRED", c));
  EXPECT_EQ(c, clRed);
  EXPECT_TRUE(StringToColor("255", c));
  EXPECT_EQ(c, clRed);
  EXPECT_FALSE(StringToColor("", c));
  EXPECT_FALSE(StringToColor("$", c));
  EXPECT_FALSE(StringToColor("-2147483649", c));
}

TEST(Registry, FindsRegisteredClassesAndListsThePalette) {
  RegisterTestClasses();
  RegisterTestClasses();  // again: harmless
  EXPECT_EQ(FindClass("ttestthing"), &TTestThing::StaticClass());
  const auto pages = PalettePages();
  EXPECT_NE(std::find(pages.begin(), pages.end(), "Tests"), pages.end());
  EXPECT_EQ(PaletteClasses("Tests").size(), 3u);
  EXPECT_EQ(FindClass("TNoSuchClass"), nullptr);
  EXPECT_FALSE(RegisterComponents("Tests", {&TTestRange::StaticClass()}));  // not a component

  auto form = std::make_unique<TComponent>(nullptr);
  TComponent* created = CreateComponent("TTestThingEx", form.get());
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->Owner(), form.get());
  EXPECT_EQ(created->ClassName(), "TTestThingEx");
  EXPECT_EQ(CreateComponent("TTestRange", form.get()), nullptr);
}
