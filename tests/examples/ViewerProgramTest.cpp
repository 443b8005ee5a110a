// The viewer program run as a user runs it: exit statuses, error text with
// file and line, screenshots, the written-back form and picking.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "korvane3d/rm/image/Image.h"
#include "support/RunProgram.h"

using namespace kv;

namespace {

namespace fs = std::filesystem;
using kvtest::RunCommand;
using kvtest::RunResult;

// Runs kv3dview headless with the given arguments (already quoted).
RunResult RunViewer(const std::string& arguments) {
  return RunCommand("cd '" + fs::temp_directory_path().string() + "' && '" KV_BINARY_DIR "/bin/kv3dview' --headless " +
                    arguments);
}

class ViewerProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kv3dview-test-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

// Distinct colours in the picture: a drawn scene has many, a blank one few.
std::size_t ColourCount(const std::string& png) {
  kv::image::Image image;
  if (!kv::image::LoadImageFile(png, image)) return 0;
  return std::set<std::uint32_t>(image.pixels.begin(), image.pixels.end()).size();
}

TEST_F(ViewerProgram, DemoWritesItsScreenshotAndTheFormWrittenBackRunsAgain) {
  const RunResult demo =
      RunViewer("--frames 3 --screenshot '" + Path("demo.png") + "' --save-form '" + Path("demo.kvf") + "'");
  ASSERT_EQ(demo.status, 0) << demo.output;
  EXPECT_GT(ColourCount(Path("demo.png")), 100u) << "the demo should draw lit, textured objects";

  // The written-back form names the demo's camera handlers; the viewer knows
  // them for every form it reads, so it runs again as it was saved.
  const RunResult again = RunViewer("'" + Path("demo.kvf") + "' --frames 1 --screenshot '" + Path("again.png") + "'");
  EXPECT_EQ(again.status, 0) << again.output;
  EXPECT_GT(ColourCount(Path("again.png")), 100u);
}

TEST_F(ViewerProgram, ExampleFormPicksTheObjectInTheMiddle) {
  const RunResult run = RunViewer("'" KV_EXAMPLES_DIR "/solar_system.kvf' --frames 2 --pick 320,250");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("layer 0: Sun"), std::string::npos) << run.output;
}

// Run from another folder, a form finds the files it names beside itself;
// one that is missing is said on stderr and the rest of the form shows.
TEST_F(ViewerProgram, FilesNamedRelativeToTheFormAreFoundFromAnyFolder) {
  const RunResult run = RunViewer("'" KV_EXAMPLES_DIR "/textured_shapes.kvf' --frames 1 --screenshot '" +
                                  Path("textured.png") + "'");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.find("not found"), std::string::npos) << run.output;

  std::string form;
  {
    std::ifstream in(KV_EXAMPLES_DIR "/textured_shapes.kvf");
    form.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::size_t at = form.find("data/checker.png");
  ASSERT_NE(at, std::string::npos);
  form.replace(at, 16, "data/no-such.png");
  std::ofstream(Path("missing.kvf")) << form;
  const RunResult missing = RunViewer("'" + Path("missing.kvf") + "' --frames 1 --screenshot '" + Path("missing.png") + "'");
  EXPECT_EQ(missing.status, 0) << missing.output;
  EXPECT_NE(missing.output.find("kv3dview: "), std::string::npos) << missing.output;
  EXPECT_NE(missing.output.find("texture file \"data/no-such.png\" not found"), std::string::npos) << missing.output;
  // The textured picture has more colours than the one missing a texture.
  EXPECT_GT(ColourCount(Path("textured.png")), ColourCount(Path("missing.png")));
}

TEST_F(ViewerProgram, BadInputEndsWithAStatusAndAMessage) {
  {
    std::ofstream bad(Path("bad.kvf"));
    bad << "object Form1: TForm\n  Width = 100\n  Bogus = 3\nend\n";
  }
  const RunResult badForm = RunViewer("'" + Path("bad.kvf") + "' --frames 1");
  EXPECT_NE(badForm.status, 0);
  EXPECT_NE(badForm.output.find("bad.kvf:3:"), std::string::npos) << badForm.output;
  EXPECT_NE(badForm.output.find("Bogus"), std::string::npos) << badForm.output;

  const RunResult missing = RunViewer("'" + Path("no-such-form.kvf") + "'");
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.output.find("no-such-form.kvf"), std::string::npos) << missing.output;

  const RunResult badCount = RunViewer("--frames many");
  EXPECT_NE(badCount.status, 0);
  EXPECT_NE(badCount.output.find("--frames"), std::string::npos) << badCount.output;

  const RunResult badMode = RunViewer("--frames 1 --full-screen 12x34x5");
  EXPECT_NE(badMode.status, 0);
  EXPECT_NE(badMode.output.find("12x34x5"), std::string::npos) << badMode.output;
}

TEST_F(ViewerProgram, ListsModesInNumericOrderWithoutEightBitOnes) {
  const RunResult run = RunViewer("--list-modes");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.find("x8\n"), std::string::npos) << run.output;
  const std::size_t small = run.output.find("640x480x");
  const std::size_t large = run.output.find("1024x768x");
  ASSERT_NE(small, std::string::npos) << run.output;
  ASSERT_NE(large, std::string::npos) << run.output;
  EXPECT_LT(small, large);
}

}  // namespace
