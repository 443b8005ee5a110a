// Object storage: frames the view owns, created by kind, freed by frame or
// by exact name, all cleared; written to and read back from the storage
// file, with bad files refused and everything left as it was.
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "ObjectViewFixture.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/Link.h"

using namespace kv;

namespace kvtest {
namespace {

class StorageTest : public ObjectViewTest {
 protected:
  void SetUp() override {
    ObjectViewTest::SetUp();
    Register();
    view->SetName("View1");
    scene->SetName("Scene1");
    camera->SetName("Camera1");
    file = (std::filesystem::temp_directory_path() /
            ("kv_storage_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".kvf"))
               .string();
  }
  void TearDown() override {
    std::filesystem::remove(file);
    ObjectViewTest::TearDown();
  }

  TKV3DFrame* Stored(const char* name) const { return dynamic_cast<TKV3DFrame*>(view->FindComponent(name)); }

  static void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

  std::string file;
};

TEST_F(StorageTest, FramesByKindFreedByFrameOrExactNameAndCleared) {
  for (int kind = 0; kind <= 5; ++kind) view->AddToStorage(static_cast<TObjectStorage>(kind));
  ASSERT_EQ(view->ComponentCount(), 5);  // kind 5 makes nothing
  for (int i = 0; i < 5; ++i) EXPECT_NE(dynamic_cast<TKV3DFrame*>(view->Components(i)), nullptr);
  EXPECT_NE(Stored("KV3DFrame5"), nullptr);

  TKV3DFrame* outsider = PlaceFrame("Outsider", scene);
  view->AddToStorage(outsider);        // does nothing
  view->DeleteFromStorage(outsider);   // not the view's: nothing freed
  view->DeleteFromStorage("kv3dframe1");  // names must match exactly
  EXPECT_EQ(view->ComponentCount(), 5);
  EXPECT_EQ(form->FindComponent("Outsider"), outsider);

  Link<TKV3DFrame> first(Stored("KV3DFrame1"));
  view->DeleteFromStorage("KV3DFrame1");
  EXPECT_FALSE(first);
  Link<TKV3DFrame> second(Stored("KV3DFrame2"));
  view->DeleteFromStorage(second.get());
  EXPECT_FALSE(second);
  EXPECT_EQ(view->ComponentCount(), 3);

  view->AddToStorage(static_cast<TObjectStorage>(0));  // takes the first free name
  EXPECT_NE(Stored("KV3DFrame1"), nullptr);
  new TKV3DObject(view);  // anything the view owns goes with ClearStorage
  view->ClearStorage();
  EXPECT_EQ(view->ComponentCount(), 0);
  EXPECT_EQ(form->FindComponent("Outsider"), outsider);
}

TEST_F(StorageTest, WrittenOnlyWithAFileNameAndReadBackIntoTheViewsFrames) {
  view->AddToStorage(static_cast<TObjectStorage>(1));
  view->AddToStorage(static_cast<TObjectStorage>(2));
  Stored("KV3DFrame1")->Position()->SetX(3);
  Stored("KV3DFrame2")->SetParentFrame(scene);

  EXPECT_TRUE(view->WriteStorage());  // no name: nothing written
  EXPECT_FALSE(std::filesystem::exists(file));
  view->SetStorageFileName(file);
  ASSERT_TRUE(view->WriteStorage()) << LastErrorText();
  ASSERT_TRUE(std::filesystem::exists(file));

  view->ClearStorage();
  ASSERT_TRUE(view->ReadStorage()) << LastErrorText();
  ASSERT_EQ(view->ComponentCount(), 2);
  EXPECT_FLOAT_EQ(Stored("KV3DFrame1")->Position()->GetX(), 3.0f);
  EXPECT_EQ(Stored("KV3DFrame2")->ParentFrame(), scene);
  EXPECT_EQ(view->Scene(), scene);

  // Read again: the named frames are read into, not doubled.
  Stored("KV3DFrame1")->Position()->SetX(8);
  ASSERT_TRUE(view->ReadStorage()) << LastErrorText();
  EXPECT_EQ(view->ComponentCount(), 2);
  EXPECT_FLOAT_EQ(Stored("KV3DFrame1")->Position()->GetX(), 3.0f);
}

TEST_F(StorageTest, ReadingBackUndoesWhatChangedSinceWriting) {
  // What a form leaves out (a zero, an unturned axis, no spin) comes back
  // too, not only what it holds.
  view->AddToStorage(static_cast<TObjectStorage>(0));
  TKV3DFrame* f = Stored("KV3DFrame1");
  f->Position()->SetX(3);
  view->SetStorageFileName(file);
  ASSERT_TRUE(view->WriteStorage()) << LastErrorText();

  f->Position()->SetX(0);
  f->Position()->SetZ(7);
  f->Orientation()->SetAngleRotY(90);
  f->Rotation()->SetY(1);
  f->Rotation()->SetAngle(10);
  ASSERT_TRUE(view->ReadStorage()) << LastErrorText();
  ASSERT_EQ(Stored("KV3DFrame1"), f);
  EXPECT_FLOAT_EQ(f->Position()->GetX(), 3.0f);
  EXPECT_FLOAT_EQ(f->Position()->GetZ(), 0.0f);
  EXPECT_NEAR(f->Orientation()->GetDirX(), 0.0f, 1e-6f);
  EXPECT_NEAR(f->Orientation()->GetDirZ(), 1.0f, 1e-6f);
  EXPECT_FLOAT_EQ(f->Rotation()->GetAngle(), 0.0f);
}

TEST_F(StorageTest, BadFilesAreRefusedAndLeaveEverythingAsItWas) {
  view->AddToStorage(static_cast<TObjectStorage>(0));
  TKV3DFrame* kept = Stored("KV3DFrame1");
  kept->Position()->SetX(3);
  const std::string missing = file + ".missing";
  const std::string cases[][2] = {
      {"not a form at all", "garbage"},
      {"object Form1: TForm\nend\n", "another class"},
      {"object View1: TKV3DView\n  object KV3DFrame1: TKV3DFrame\n    Position.X = 7.0\n  end\n"
       "  object KV3DFrame9: TKV3DFrame\n    Position.Q = 1.0\n  end\nend\n",
       "a bad property after good ones"},
      {"object View1: TKV3DView\n  object KV3DFrame1: TKV3DFrame\n    Position.X = 7.0\n",
       "cut short"},
  };
  for (const auto& [text, what] : cases) {
    SCOPED_TRACE(what);
    WriteText(file, text);
    view->SetStorageFileName(file);
    EXPECT_FALSE(view->ReadStorage());
    EXPECT_NE(LastErrorText().find(file), std::string::npos) << LastErrorText();
    EXPECT_EQ(view->ComponentCount(), 1);
    EXPECT_EQ(Stored("KV3DFrame1"), kept);
    EXPECT_FLOAT_EQ(kept->Position()->GetX(), 3.0f);
  }
  view->SetStorageFileName(missing);
  EXPECT_FALSE(view->ReadStorage());
  EXPECT_EQ(view->ComponentCount(), 1);

  view->SetStorageFileName((std::filesystem::path(file) / "no" / "such" / "folder.kvf").string());
  EXPECT_FALSE(view->WriteStorage());
  EXPECT_FALSE(LastErrorText().empty());
  EXPECT_FALSE(view->Render());  // the view draws on
}

}  // namespace
}  // namespace kvtest
