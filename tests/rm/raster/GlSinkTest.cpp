// The OpenGL back end's side of the target: what it reads back and what it
// leaves alone. The picture tests (ReferenceImageTest) compare its drawing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

#include "RasterTestSupport.h"
#include "support/BoundedRun.h"
#include "support/GlDevice.h"

namespace kv::raster::test {
namespace {

class GlSink : public ::testing::Test, protected SinkChoice {
 protected:
  void SetUp() override { UseGl(); }
};

// Under ctest every test gets the headless platform; in the thread-sanitizer
// build it must also get Mesa drawing on the calling thread, or llvmpipe's
// uninstrumented workers show up as races in every GL test. Both variables
// travel through the test properties, which once dropped all but the first.
TEST(GlSinkEnvironment, CtestHandsEveryVariableToTheTests) {
  const char* backend = std::getenv("KV_BACKEND");
  if (!backend) GTEST_SKIP() << "not run by ctest";
  EXPECT_EQ(std::string_view(backend), "headless");
#ifdef KV_TEST_TSAN
  const char* threads = std::getenv("LP_NUM_THREADS");
  ASSERT_NE(threads, nullptr);
  EXPECT_EQ(std::string_view(threads), "0");
#endif
}

TEST_F(GlSink, LeavesPixelsOutsideTheViewportAlone) {
  Canvas c(64, 48);
  std::fill(c.pixels.begin(), c.pixels.end(), 0x00ff00u);
  c.view.viewport = {16, 8, 32, 24};
  Rasterizer r(Options());
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, 0xff0000));
  ASSERT_TRUE(r.EndFrame());
  EXPECT_EQ(c.At(20, 10), 0xff0000u);
  EXPECT_EQ(c.At(47, 31), 0xff0000u);
  EXPECT_EQ(c.At(15, 10), 0x00ff00u);
  EXPECT_EQ(c.At(48, 31), 0x00ff00u);
  EXPECT_EQ(c.At(20, 7), 0x00ff00u);
  EXPECT_EQ(c.At(20, 32), 0x00ff00u);
  EXPECT_EQ(c.CountNot(0x00ff00u), 32 * 24);
}

TEST_F(GlSink, KeepsWhatOthersDrewIntoTheTargetBetweenFrames) {
  // A frame that does not clear draws over the target as it is now, not as
  // the GL device last left it (a GDI event or a blit may have drawn there).
  Canvas c(64, 48);
  Rasterizer r(Options());
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, 0x000080));
  ASSERT_TRUE(r.EndFrame());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) c.pixels[static_cast<size_t>(y) * 64 + x] = 0xffff00u;
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  DrawCall d;
  d.lighting = false;
  d.color = 0xffffffff;
  TestMesh quad = Square(0, 0, 0.1f, 2);
  d.mesh = quad.View();
  ASSERT_TRUE(r.Draw(d));
  ASSERT_TRUE(r.EndFrame());
  EXPECT_EQ(c.At(1, 1), 0xffff00u) << "the pixels written between the frames";
  EXPECT_EQ(c.At(32, 24), 0xffffffu) << "the quad";
  EXPECT_EQ(c.At(60, 40), 0x000080u) << "the first frame's clear";
}

// A 16-bit target holds coarser colours than the GL colour buffer. Frames
// that blend over the last one must blend over what the target shows, as the
// software device does, or the two drift apart a step at a time.
TEST_F(GlSink, FramesBlendOverTheSixteenBitPixelsTheTargetHolds) {
  auto draw = [](const RasterizerOptions& options, PixelFormat format) {
    Canvas c(16, 16, format);
    c.state.renderMode = kBlendedTransparency;
    c.state.dither = false;
    Rasterizer r(options);
    std::vector<std::uint16_t> words;
    TestMesh quad = Square(0, 0, 0.1f, 2);
    for (int frame = 0; frame < 6; ++frame) {
      EXPECT_TRUE(r.BeginFrame(c.target, c.view, c.state));
      EXPECT_TRUE(r.Clear(frame == 0 ? kClearTarget | kClearDepth : kClearDepth, 0x0c0c0c));
      DrawCall d;
      d.lighting = false;
      d.color = 0x80f4e0c8;  // half over whatever the last frame left
      d.mesh = quad.View();
      if (frame > 0) {
        EXPECT_TRUE(r.Draw(d));
      }
      EXPECT_TRUE(r.EndFrame());
      words.push_back(c.At16(8, 8));
    }
    return words;
  };
  for (PixelFormat format : {PixelFormat::Rgb565, PixelFormat::Rgb555}) {
    const std::vector<std::uint16_t> software = draw(RasterizerOptions{}, format);
    const std::vector<std::uint16_t> gl = draw(Options(), format);
    EXPECT_EQ(gl, software) << (format == PixelFormat::Rgb565 ? "565" : "555");
  }
}

TEST_F(GlSink, FramesOfDifferentSizesAndDepthFormatsFollowTheTarget) {
  Rasterizer r(Options());
  for (auto [w, h, depth] : {std::tuple{32, 32, DepthFormat::Float32}, std::tuple{80, 20, DepthFormat::Unorm16},
                             std::tuple{32, 32, DepthFormat::Unorm16}}) {
    Canvas c(w, h, PixelFormat::Xrgb8888, depth);
    ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
    ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, 0x102030));
    DrawCall d;
    d.lighting = false;
    d.color = 0xff00ff00;
    TestMesh near = Square(0, 0, 0.2f, 2), far = Square(0, 0, 1, 4);
    d.mesh = near.View();
    ASSERT_TRUE(r.Draw(d));
    d.color = 0xffff0000;
    d.mesh = far.View();  // drawn later but behind: hidden where the near one is
    ASSERT_TRUE(r.Draw(d));
    ASSERT_TRUE(r.EndFrame());
    EXPECT_EQ(c.At(w / 2, h / 2), 0x00ff00u) << w << "x" << h;
    EXPECT_EQ(c.At(0, 0), 0x102030u) << w << "x" << h;
  }
}

}  // namespace
}  // namespace kv::raster::test
