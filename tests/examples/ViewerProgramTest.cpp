// The viewer program run as a user runs it: exit statuses, error text with
// file and line, screenshots (also on a full disk), the written-back form,
// picking, mesh files, files named relative to a form, and the viewer and
// kvmesh given a FIFO.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ViewerProcess.h"
#include "korvane3d/rm/xfile/XFile.h"
#include "support/FileFaults.h"
#include "support/OwnPictures.h"

using namespace kv;

namespace kvtest {
namespace {

class ViewerProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kv3dview-test-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // Runs the viewer headless in the test's folder.
  RunResult RunViewer(const std::string& arguments) const { return kvtest::RunViewer(arguments, dir_); }

  fs::path dir_;
};

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

// Any mesh file the engine reads, known by its content: centred, framed and
// lit, with its own materials and textures.
TEST_F(ViewerProgram, MeshFilesShowCentredWithTheirOwnLook) {
  // The demo's knot under a name that says nothing: its own gold material.
  fs::copy_file(KV_EXAMPLES_DATA_DIR "/knot.x", Path("knot.model"));
  const RunResult knot = RunViewer("knot.model --frames 2 --size 160x120");
  ASSERT_EQ(knot.status, 0) << knot.output;
  kv::image::Image shot;
  ASSERT_TRUE(kv::image::LoadImageFile(Path("knot.png"), shot)) << knot.output;
  ASSERT_EQ(shot.width, 160);
  const std::uint32_t background = shot.At(2, 2);
  int gold = 0, left = 0, right = 0;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      const std::uint32_t p = shot.At(x, y);
      const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
      gold += r > 120 && g > 80 && b < r / 2;
      if (p != background) (x < shot.width / 2 ? left : right) += 1;
    }
  }
  EXPECT_GT(gold, 1000);
  EXPECT_NEAR(left, right, (left + right) / 4) << "centred";
  EXPECT_EQ(shot.At(0, 0), background);  // framed: the edges are clear
  EXPECT_EQ(shot.At(159, 119), background);

  // A square of our own in binary, its texture beside it.
  kv::xfile::MeshData square;
  square.positions = {{-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {1, -1, 0}};
  square.faceSizes = {4};
  square.faceVertices = {0, 1, 2, 3};
  square.texCoords = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
  square.materials.resize(1);
  square.materials[0].textureFile = "skin.bmp";
  kv::xfile::SaveOptions binary;
  binary.encoding = kv::xfile::Encoding::Binary;
  ASSERT_TRUE(kv::xfile::SaveFile(Path("square.x"), square, binary));
  ASSERT_FALSE(WritePicture(Path("skin.bmp"), 32, 32).empty());
  const RunResult textured = RunViewer("square.x --frames 1 --screenshot shot.png");
  ASSERT_EQ(textured.status, 0) << textured.output;
  EXPECT_EQ(textured.output.find("not found"), std::string::npos) << textured.output;
  EXPECT_GT(ColourCount(Path("shot.png")), 200u) << "the texture's colours";

  std::ofstream(Path("broken.x")) << "xof 0302txt 0064\nMesh { 4; broken";
  const RunResult broken = RunViewer("broken.x --frames 1");
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.output.find("could not be loaded"), std::string::npos) << broken.output;
  const RunResult saving = RunViewer("square.x --frames 1 --save-form back.kvf");
  EXPECT_EQ(saving.status, 2);
  EXPECT_NE(saving.output.find("mesh file"), std::string::npos) << saving.output;
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

  const RunResult tooLarge = RunViewer("--frames 1 --size 100000x100000");
  EXPECT_EQ(tooLarge.status, 2);
  EXPECT_NE(tooLarge.output.find("16384"), std::string::npos) << tooLarge.output;

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

// A full disk (writes beyond 2 KiB fail) or a kill in the middle of the
// screenshot (the file-size limit's own signal) leaves the screenshot that
// was there before, whole, and nothing beside it.
TEST_F(ViewerProgram, AScreenshotThatCannotBeWrittenLeavesTheOldOne) {
  ASSERT_EQ(RunViewer("--frames 1 --screenshot '" + Path("shot.png") + "'").status, 0);
  const std::string before = ReadText(Path("shot.png"));
  ASSERT_GT(before.size(), 4096u);
  const std::string run = std::string("'") + kvtest::ViewerProgram() + "' --headless --frames 1 --screenshot '" + Path("shot.png") + "'";

  const RunResult full = RunCommand("cd '" + dir_.string() + "' && trap '' XFSZ; ulimit -f 4; " + run);
  EXPECT_NE(full.status, 0) << full.output;
  EXPECT_NE(full.output.find("shot.png"), std::string::npos) << full.output;
  EXPECT_TRUE(ReadText(Path("shot.png")) == before) << "the earlier screenshot changed";

  const RunResult killed = RunCommand("cd '" + dir_.string() + "' && ulimit -f 4; " + run);
  EXPECT_NE(killed.status, 0) << killed.output;
  EXPECT_TRUE(ReadText(Path("shot.png")) == before) << "the earlier screenshot changed";
  EXPECT_EQ(NamesIn(dir_), (std::set<std::string>{"shot.png"}));
}

// The viewer and kvmesh name a FIFO and stop, instead of waiting for a
// writer for ever.
TEST_F(ViewerProgram, ProgramsRefuseAFifo) {
  ASSERT_EQ(::mkfifo(Path("pipe.x").c_str(), 0600), 0);
  const RunResult viewer = RunCommand("cd '" + dir_.string() + "' && exec timeout 60 '" + kvtest::ViewerProgram() +
                                      "' --headless --frames 1 '" + Path("pipe.x") + "'");
  EXPECT_NE(viewer.status, 0) << viewer.output;
  EXPECT_NE(viewer.status, 124) << "the viewer waited on the FIFO";
  EXPECT_NE(viewer.output.find("FIFO"), std::string::npos) << viewer.output;

  const std::string kvmesh = "exec timeout 60 '" KV_BINARY_DIR "/bin/kvmesh' ";
  const RunResult info = RunCommand(kvmesh + "info '" + Path("pipe.x") + "'");
  EXPECT_EQ(info.status, 1) << info.output;
  EXPECT_NE(info.output.find("FIFO"), std::string::npos) << info.output;
  const RunResult convert = RunCommand(kvmesh + "convert '" + Path("pipe.x") + "' '" + Path("out.x") + "' --format text");
  EXPECT_EQ(convert.status, 1) << convert.output;
  EXPECT_FALSE(fs::exists(Path("out.x")));
}

}  // namespace
}  // namespace kvtest
