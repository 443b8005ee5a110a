// The getting-started form, examples/hello_cube.kvf: a 640 x 480 view of a
// navy scene with a red, lit cube over the centre that turns from frame to
// frame, the very picture the getting-started program draws in code.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "ExamplesFixture.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/rm/image/Image.h"
#include "support/RunProgram.h"

using namespace kv;

namespace kvtest {
namespace {

int Red(std::uint32_t p) { return static_cast<int>(p >> 16 & 0xFF); }
int Green(std::uint32_t p) { return static_cast<int>(p >> 8 & 0xFF); }
int Blue(std::uint32_t p) { return static_cast<int>(p & 0xFF); }

TEST_F(ExampleTest, HelloCubeFormShowsARedLitCubeTurningOnNavy) {
  form = ReadComponentResFile(KV_EXAMPLES_DIR "/hello_cube.kvf");
  ASSERT_NE(form, nullptr) << LastErrorText();
  TKV3DView* view = ShowForm();
  ASSERT_NE(view, nullptr);

  const ddraw::PixelImage first = Draw(view, 1);
  ASSERT_EQ(first.width, 640);
  ASSERT_EQ(first.height, 480);
  EXPECT_EQ(first.At(5, 5), 0x000080u) << "navy background";
  EXPECT_EQ(first.At(634, 474), 0x000080u);
  const std::uint32_t centre = first.At(320, 240);
  EXPECT_GT(Red(centre), 100) << std::hex << centre;
  EXPECT_LT(Green(centre), 40) << std::hex << centre;
  EXPECT_LT(Blue(centre), 40) << std::hex << centre;

  const ddraw::PixelImage later = Draw(view, 30);
  EXPECT_NE(first.pixels, later.pixels) << "the cube turns";
  EXPECT_GT(Red(later.At(320, 240)), 100);
  EXPECT_GT(ShareNotBackground(later, view->Scene()), 0.05);
}

// The two ways of writing the scene that getting-started.md shows must not
// drift apart: the program and the viewer on the form draw the same pixels.
TEST(HelloCubeForm, DrawsWhatTheProgramDraws) {
  namespace fs = std::filesystem;
  const std::string stem = (fs::temp_directory_path() / ("hello-" + std::to_string(::getpid()))).string();
  const RunResult program = RunCommand("'" KV_BINARY_DIR "/bin/hello_cube' --headless --frames 20 --screenshot '" +
                                       stem + "-code.png'");
  ASSERT_EQ(program.status, 0) << program.output;
  const RunResult viewer = RunCommand("'" KV_BINARY_DIR "/bin/kv3dview' '" KV_EXAMPLES_DIR
                                      "/hello_cube.kvf' --headless --frames 20 --screenshot '" + stem + "-form.png'");
  ASSERT_EQ(viewer.status, 0) << viewer.output;
  image::Image code, form;
  ASSERT_TRUE(image::LoadImageFile(stem + "-code.png", code));
  ASSERT_TRUE(image::LoadImageFile(stem + "-form.png", form));
  fs::remove(stem + "-code.png");
  fs::remove(stem + "-form.png");
  ASSERT_EQ(code.width, form.width);
  ASSERT_EQ(code.height, form.height);
  std::size_t differing = 0;
  for (std::size_t i = 0; i < code.pixels.size(); ++i) differing += code.pixels[i] != form.pixels[i] ? 1 : 0;
  EXPECT_EQ(differing, 0u) << "examples/hello_cube.cpp and examples/hello_cube.kvf describe different scenes";
}

std::string ReadText(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The documents show these files whole; an edit to a file must reach them.
TEST(HelloCubeForm, TheDocumentsShowTheProgramAndTheFormAsTheyAre) {
  const std::pair<const char*, const char*> shown[] = {
      {"/docs/getting-started.md", "/examples/hello_cube.cpp"},
      {"/docs/getting-started.md", "/examples/hello_cube.kvf"},
      {"/docs/form-files.md", "/examples/hello_cube.kvf"},
  };
  for (const auto& [document, file] : shown) {
    SCOPED_TRACE(std::string(document) + " shows " + file);
    const std::string guide = ReadText(std::string(KV_SOURCE_DIR) + document);
    const std::string text = ReadText(std::string(KV_SOURCE_DIR) + file);
    ASSERT_FALSE(text.empty());
    // The whole file between a fence line (```, ```cpp) and the closing fence.
    const std::size_t at = guide.find(text + "```");
    ASSERT_NE(at, std::string::npos) << "the file differs from what the document shows";
    const std::size_t fence = guide.rfind("\n```", at);
    EXPECT_TRUE(fence != std::string::npos && guide.find('\n', fence + 1) + 1 == at);
  }
}

}  // namespace
}  // namespace kvtest
