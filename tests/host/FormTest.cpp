// Text form files: round trips, the loading protocol and every read error.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "TestClasses.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/host/Registry.h"

using namespace kv;
using namespace kvtest;

namespace {

// A root with methods registered in its constructor, as an application's
// form class would.
class TTestForm : public TTestThing {
 public:
  KV_DECLARE_CLASS()
  explicit TTestForm(TComponent* owner) : TTestThing(owner) {
    RegisterMethod("Ping", [this](TObject*) { ++pings; });
    RegisterMethod("Value", [](TObject*, int& v) { v = 5; });
  }
  int pings = 0;
};

const TClassInfo& TTestForm::StaticClass() {
  static const TClassInfo info = DefineClass<TTestForm, TTestThing>("TTestForm");
  return info;
}

class Forms : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterTestClasses();
    RegisterClass(TTestForm::StaticClass());
    Log().clear();
  }
};

const char* const kFullForm = R"(object Form1: TTestForm
  Count = 3
  object Ball: TTestThingEx
    Enabled = False
    Count = -7
    Small = -32768
    Mask = 4294967295
    Scale = 0.1
    Precise = 3.141592653589793
    Shape = tsPrism
    Options = [toSmooth, toHidden]
    Caption = 'Ball''s'#9'caption'#13#10'ü'
    Color = clNavy
    Partner = Wall
    Position.X = -1.5e-07
    Position.Y = 3.4028235e+38
    Position.Range.Low = -2
    Position.Range.High = 0
    Positive = 0
    OnPing = Ping
    OnValue = Value
    Extra = 'x'
  end
  object Wall: TTestThing
    Tag = -1
    Color = $00123456
    Partner = Ball
  end
  object TTestOther
  end
end
)";

}  // namespace

TEST_F(Forms, WriteReadWriteGivesTheSameText) {
  std::unique_ptr<TComponent> root = ReadComponentText(kFullForm, "full.kvf");
  ASSERT_NE(root, nullptr) << LastErrorText();
  std::string written;
  ASSERT_TRUE(WriteComponentText(root.get(), written)) << LastErrorText();
  EXPECT_EQ(written, kFullForm);

  std::unique_ptr<TComponent> again = ReadComponentText(written, "again.kvf");
  ASSERT_NE(again, nullptr) << LastErrorText();
  std::string rewritten;
  ASSERT_TRUE(WriteComponentText(again.get(), rewritten));
  EXPECT_EQ(rewritten, written);

  auto* ball = dynamic_cast<TTestThingEx*>(again->FindComponent("Ball"));
  ASSERT_NE(ball, nullptr);
  EXPECT_EQ(ball->Caption(), "Ball's\tcaption\r\nü");
  EXPECT_EQ(ball->Position()->X(), -1.5e-07f);
  EXPECT_EQ(ball->Precise(), 3.141592653589793);
  EXPECT_EQ(ball->Partner(), again->FindComponent("Wall"));
  // Bound events call the root's methods.
  ball->OnPing(ball);
  EXPECT_EQ(static_cast<TTestForm*>(again.get())->pings, 1);
}

TEST_F(Forms, FloatsRoundTripBitForBit) {
  TTestThing t(nullptr);
  for (float f : {0.1f, 1.0f / 3.0f, 1e-45f, -3.4028235e38f, 16777217.0f, 0.3f}) {
    for (double d : {0.1, 1.0 / 3.0, 5e-324, 1.7976931348623157e308, -0.0, 1e21}) {
      t.SetScale(f);
      t.SetPrecise(d);
      std::string text;
      ASSERT_TRUE(WriteComponentText(&t, text));
      TTestThing back(nullptr);
      ASSERT_TRUE(ReadComponentText(text, "t", &back)) << text << LastErrorText();
      const float bf = back.Scale();
      const double bd = back.Precise();
      EXPECT_EQ(std::memcmp(&f, &bf, sizeof f), 0) << text;
      EXPECT_EQ(std::memcmp(&d, &bd, sizeof d), 0) << text;
    }
  }
}

TEST_F(Forms, OnlyValuesThatDifferFromTheDefaultAreWritten) {
  TTestThing t(nullptr);
  t.SetName("T");
  std::string text;
  ASSERT_TRUE(WriteComponentText(&t, text));
  EXPECT_EQ(text, "object T: TTestThing\nend\n");

  t.SetEnabled(false);            // default True
  t.SetScale(0.0f);               // default 1.0: must be kept even though zero
  t.Position()->Range()->SetHigh(10);  // equals its default
  ASSERT_TRUE(WriteComponentText(&t, text));
  EXPECT_EQ(text, "object T: TTestThing\n  Enabled = False\n  Scale = 0.0\nend\n");
}

TEST_F(Forms, LoadedRunsAfterEveryReferenceIsResolvedRootFirst) {
  const char* form = R"(object Root: TTestThing
  object First: TTestThing
    Partner = Second
  end
  object Second: TTestThing
    Partner = Root
  end
end)";
  std::unique_ptr<TComponent> root = ReadComponentText(form, "fwd.kvf");
  ASSERT_NE(root, nullptr) << LastErrorText();
  auto* first = static_cast<TTestThing*>(root->FindComponent("First"));
  auto* second = static_cast<TTestThing*>(root->FindComponent("Second"));
  EXPECT_EQ(first->partnerAtLoaded, "Second");  // a forward reference
  EXPECT_EQ(second->partnerAtLoaded, "Root");
  EXPECT_FALSE(first->readingAtLoaded);
  std::vector<std::string> loaded;
  for (const auto& line : Log()) {
    if (line.rfind("Loaded", 0) == 0) loaded.push_back(line);
  }
  EXPECT_EQ(loaded, (std::vector<std::string>{"Loaded Root", "Loaded First", "Loaded Second"}));
  for (TComponent* c : {root.get(), static_cast<TComponent*>(first), static_cast<TComponent*>(second)}) {
    EXPECT_FALSE(c->ComponentState().Contains(csLoading));
    EXPECT_FALSE(c->ComponentState().Contains(csReading));
  }
}

TEST_F(Forms, ReadingIntoAnInstanceReusesComponentsItAlreadyOwns) {
  TTestThing root(nullptr);
  auto* ball = new TTestThing(&root);
  ball->SetName("Ball");
  ASSERT_TRUE(ReadComponentText("object Main: TTestThing\n object Ball: TTestThing\n Count = 4\n end\nend\n", "i",
                                &root))
      << LastErrorText();
  EXPECT_EQ(root.Name(), "Main");
  EXPECT_EQ(root.ComponentCount(), 1);
  EXPECT_EQ(ball->Count(), 4);
}

TEST_F(Forms, EveryErrorNamesFileLineAndPropertyAndLeavesNothingBehind) {
  struct Row {
    const char* text;
    const char* error;
  };
  const Row rows[] = {
      {"object F: TTestThing\n  object B: TNoSuchClass\n  end\nend", "bad.kvf:2: unknown class TNoSuchClass"},
      {"object F: TTestThing\n  object B: TTestThing\n    Verticess = 1\n  end\nend",
       "bad.kvf:3: property \"Verticess\": unknown property of TTestThing"},
      {"object F: TTestThing\n  Position.Rnage.Low = 1\nend",
       "bad.kvf:2: property \"Position.Rnage.Low\": unknown property of TTestThing"},
      {"object F: TTestThing\n\n  Count = 'x'\nend", "bad.kvf:3: property \"Count\": expected an integer"},
      {"object F: TTestThing\n  Shape = tsBlob\nend", "bad.kvf:2: property \"Shape\": \"tsBlob\" is not a value"},
      {"object F: TTestThing\n  Positive = -5\nend", "bad.kvf:2: property \"Positive\": must not be negative"},
      {"object F: TTestThing\n  object B: TTestThing\n    Partner = Ghost\n  end\nend",
       "bad.kvf:3: property \"Partner\": no component named Ghost"},
      {"object F: TTestThing\n  object B: TTestOther\n  end\n  object C: TTestThing\n    Partner = B\n  end\nend",
       "bad.kvf:5: property \"Partner\": B is a TTestOther, not a TTestThing"},
      {"object F: TTestThing\n  object B: TTestThing\n  end\n  object b: TTestThing\n  end\nend",
       "bad.kvf:4: duplicate component name \"b\""},
      {"object F: TTestThing\n  object B: TTestThing\n    Count = 1\n", "bad.kvf:4: unexpected end of file"},
      {"object F: TTestThing\n  Caption = 'abc\nend", "bad.kvf:2: property \"Caption\": unterminated string"},
      {"object F: TTestThing\n  OnPing = Nothing\nend", "bad.kvf:2: property \"OnPing\": no method named Nothing"},
      {"object F: TTestThing\n  Count 3\nend", "bad.kvf:2: expected '=' after property Count"},
      {"object F: TTestThing\nend\nend", "bad.kvf:3: unexpected \"end\" after the form's end"},
      {"object F: TTestThing\n  Position = 3\nend", "bad.kvf:2: property \"Position\": a property object"},
      {"object F: TTestThing\n  Data = {00}\nend", "bad.kvf:2: property \"Data\": binary data is not supported"},
      {"object F: TTestRange\nend", "bad.kvf:1: unknown class TTestRange"},
      {"", "bad.kvf:1: expected \"object\""},
      {"object F: TTestForm\n  object B: TTestThing\n    OnPing = Value\n  end\nend",
       "bad.kvf:3: property \"OnPing\": method Value does not match"},
  };
  for (const Row& r : rows) {
    std::unique_ptr<TComponent> root = ReadComponentText(r.text, "bad.kvf");
    EXPECT_EQ(root, nullptr) << r.text;
    EXPECT_EQ(LastErrorText().rfind(r.error, 0), 0u) << "got: " << LastErrorText() << "\nwant: " << r.error;
  }
}

TEST_F(Forms, AFailedReadIntoAnInstanceSetsEverythingBack) {
  TTestThing root(nullptr);
  root.SetName("Keep");
  root.SetCount(1);
  auto* ball = new TTestThing(&root);
  ball->SetName("Ball");
  ball->SetCaption("before");
  int pings = 0;
  ball->OnPing = [&](TObject*) { ++pings; };
  root.RegisterMethod("Ping", [](TObject*) {});

  const char* form = R"(object Other: TTestThing
  Count = 99
  object Ball: TTestThing
    Caption = 'after'
    OnPing = Ping
  end
  object New: TTestThing
    Partner = Missing
  end
end)";
  EXPECT_FALSE(ReadComponentText(form, "undo.kvf", &root));
  EXPECT_EQ(LastErrorText(), "undo.kvf:8: property \"Partner\": no component named Missing");
  EXPECT_EQ(root.Name(), "Keep");
  EXPECT_EQ(root.Count(), 1);
  EXPECT_EQ(ball->Caption(), "before");
  ball->OnPing(ball);  // the handler set in code is back
  EXPECT_EQ(pings, 1);
  EXPECT_EQ(root.ComponentCount(), 1);  // "New" was freed
  EXPECT_FALSE(root.ComponentState().Contains(csLoading));
  EXPECT_FALSE(ball->ComponentState().Contains(csReading));

  EXPECT_FALSE(ReadComponentText("object X: TTestOther\nend", "cls.kvf", &root));
  EXPECT_EQ(LastErrorText(), "cls.kvf:1: the form holds a TTestOther, not a TTestThing");
}

TEST_F(Forms, WritingRefusesAReferenceThatCannotBeNamed) {
  TTestThing root(nullptr);
  auto* a = new TTestThing(&root);
  a->SetName("A");
  TTestThing stranger(nullptr);  // owned elsewhere
  a->SetPartner(&stranger);
  std::string text;
  EXPECT_FALSE(WriteComponentText(&root, text));
  EXPECT_NE(LastErrorText().find("property \"Partner\""), std::string::npos);
}

TEST_F(Forms, FilesAreWrittenAndReadBack) {
  const auto dir = std::filesystem::temp_directory_path() / ("kv_form_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "form.kvf").string();

  std::unique_ptr<TComponent> root = ReadComponentText(kFullForm, "full.kvf");
  ASSERT_NE(root, nullptr);
  ASSERT_TRUE(WriteComponentResFile(file, root.get())) << LastErrorText();
  std::unique_ptr<TComponent> back = ReadComponentResFile(file);
  ASSERT_NE(back, nullptr) << LastErrorText();
  EXPECT_EQ(back->ComponentCount(), 3);
  // The root and what it owns know the form's folder (absolute), for the
  // data files the form names; text read from memory has none.
  EXPECT_EQ(back->FormFolder(), dir.string());
  EXPECT_EQ(back->Components(0)->FormFolder(), dir.string());
  EXPECT_EQ(root->FormFolder(), "");

  TTestThing into(nullptr);
  into.SetFormFolder("/elsewhere");
  std::ofstream(file) << "object F: TTestThing\n  Count = x\nend\n";
  EXPECT_EQ(ReadComponentResFile(file), nullptr);
  EXPECT_EQ(LastErrorText(), file + ":2: property \"Count\": expected an integer");
  EXPECT_FALSE(ReadComponentResFile(file, &into));
  EXPECT_EQ(into.FormFolder(), "/elsewhere");  // a failed read sets it back

  EXPECT_EQ(ReadComponentResFile((dir / "missing.kvf").string()), nullptr);
  EXPECT_NE(LastErrorText().find("cannot open"), std::string::npos);
  EXPECT_FALSE(WriteComponentResFile((dir / "no" / "such" / "dir.kvf").string(), root.get()));
  std::filesystem::remove_all(dir);
}

// A form saved over a link to a private file: the link stays, the file stays
// private, and no temporary is left beside it.
TEST_F(Forms, WritingKeepsLinksAndPermissions) {
  namespace fs = std::filesystem;
  const auto dir = fs::temp_directory_path() / ("kv_form_link_" + std::to_string(::getpid()));
  fs::create_directories(dir / "forms");
  std::ofstream(dir / "forms" / "scene.kvf") << "old";
  fs::permissions(dir / "forms" / "scene.kvf", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("forms/scene.kvf", dir / "scene.kvf");

  std::unique_ptr<TComponent> root = ReadComponentText(kFullForm, "full.kvf");
  ASSERT_NE(root, nullptr);
  ASSERT_TRUE(WriteComponentResFile((dir / "scene.kvf").string(), root.get())) << LastErrorText();
  EXPECT_TRUE(fs::is_symlink(dir / "scene.kvf"));
  EXPECT_EQ(fs::status(dir / "forms" / "scene.kvf").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  std::unique_ptr<TComponent> back = ReadComponentResFile((dir / "forms" / "scene.kvf").string());
  ASSERT_NE(back, nullptr) << LastErrorText();
  EXPECT_EQ(back->ComponentCount(), 3);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "forms"), fs::directory_iterator()), 1);
  fs::remove_all(dir);
}
