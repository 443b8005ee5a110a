// The getting-started form, examples/hello_cube.kvf: a 640 x 480 view of a
// navy scene with a red, lit cube over the centre that turns from frame to
// frame.
#include <cstdint>

#include "ExamplesFixture.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"

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

}  // namespace
}  // namespace kvtest
