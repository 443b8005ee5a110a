// The getting-started program as a new user runs it: off screen, a few
// frames, a screenshot of a red cube in the middle of a navy view.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "korvane3d/rm/image/Image.h"
#include "support/RunProgram.h"

namespace {

namespace fs = std::filesystem;

TEST(HelloCube, DrawsARedCubeOnNavyAndSavesIt) {
  const fs::path shot = fs::temp_directory_path() / ("hello-cube-" + std::to_string(::getpid()) + ".png");
  const kvtest::RunResult run = kvtest::RunCommand("'" KV_BINARY_DIR "/bin/hello_cube' --headless --frames 20 --screenshot '" +
                                                   shot.string() + "'");
  ASSERT_EQ(run.status, 0) << run.output;
  kv::image::Image picture;
  ASSERT_TRUE(kv::image::LoadImageFile(shot.string(), picture));
  fs::remove(shot);
  ASSERT_EQ(picture.width, 640);
  ASSERT_EQ(picture.height, 480);
  const auto at = [&](int x, int y) { return picture.pixels[static_cast<std::size_t>(y) * 640 + x] & 0xFFFFFFu; };
  EXPECT_EQ(at(5, 5), 0x000080u) << "navy background";
  const std::uint32_t centre = at(320, 240);
  const unsigned red = (centre >> 16) & 0xFF, green = (centre >> 8) & 0xFF, blue = centre & 0xFF;
  EXPECT_GT(red, 150u) << std::hex << centre;
  EXPECT_LT(green, 40u) << std::hex << centre;
  EXPECT_LT(blue, 40u) << std::hex << centre;
}

TEST(HelloCube, RefusesUnknownOptionsWithItsUsage) {
  const kvtest::RunResult run = kvtest::RunCommand("'" KV_BINARY_DIR "/bin/hello_cube' --bogus");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("usage: hello_cube"), std::string::npos) << run.output;
}

}  // namespace
