// Which pixels a triangle covers: the top-left fill rule, depth testing and
// face culling.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <set>

#include "RasterTestSupport.h"

namespace kv::raster::test {
namespace {

// With front 1, field 0.5 and a 64x64 viewport, a point (x, y) on the plane
// z = 1 lands on pixel position (32 + 64x, 32 − 64y).
Vec3 AtPixel(float px, float py) { return {(px - 32) / 64, (32 - py) / 64, 1.5f}; }
Vec3 OnScreen(float px, float py) {
  Vec3 p = AtPixel(px, py);
  return {p.x * 1.5f, p.y * 1.5f, 1.5f};  // the same pixel, further away
}

std::set<int> Covered(const Canvas& c) {
  std::set<int> s;
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x)
      if (c.At(x, y) != kBlack) s.insert(y * c.width + x);
  return s;
}

std::set<int> DrawAlone(const TestMesh& m) {
  Canvas c(64, 64);
  Rasterizer r;
  DrawCall d = Unlit(0xffffff);
  d.cull = CullMode::None;
  Render(r, c, {{m, d}});
  return Covered(c);
}

// Two triangles of a square at random sub-pixel positions (multiples of
// 1/16 pixel, so snapping is exact): every pixel whose centre lies in the
// square, with its left and top edges in and right and bottom edges out, is
// covered by exactly one of them.
TEST(FillRule, SharedDiagonalCoversTheSquareExactlyOnce) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> pos(16 * 2, 16 * 40), size(16 * 1, 16 * 20);
  for (int iteration = 0; iteration < 40; ++iteration) {
    float x0 = pos(rng) / 16.0f, y0 = pos(rng) / 16.0f;
    float x1 = x0 + size(rng) / 16.0f, y1 = y0 + size(rng) / 16.0f;
    if (iteration % 4 == 0) {  // edges exactly through pixel centres
      x0 = std::floor(x0) + 0.5f;
      y1 = std::floor(y1) + 0.5f;
    }
    Vec3 tl = OnScreen(x0, y0), tr = OnScreen(x1, y0), br = OnScreen(x1, y1), bl = OnScreen(x0, y1);
    TestMesh a = Triangle(tl, tr, br), b = Triangle(tl, br, bl);
    std::set<int> sa = DrawAlone(a), sb = DrawAlone(b);
    std::set<int> expected;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (x + 0.5f >= x0 && x + 0.5f < x1 && y + 0.5f >= y0 && y + 0.5f < y1) expected.insert(y * 64 + x);
    for (int p : sa) EXPECT_EQ(sb.count(p), 0u) << "pixel drawn twice, iteration " << iteration;
    std::set<int> both = sa;
    both.insert(sb.begin(), sb.end());
    EXPECT_EQ(both, expected) << "iteration " << iteration;
  }
}

// A fan of triangles around an interior point at odd sub-pixel positions:
// no pixel is drawn twice and the union has no holes.
TEST(FillRule, FanHasNoGapsOrOverlaps) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> jitter(-0.4f, 0.4f);
  const int n = 9;
  Vec3 centre = OnScreen(31.3f, 30.8f);
  std::vector<Vec3> ring;
  for (int i = 0; i < n; ++i) {
    float a = 6.2831853f * i / n;
    ring.push_back(OnScreen(32 + 25 * std::cos(a) + jitter(rng), 32 + 25 * std::sin(a) + jitter(rng)));
  }
  std::multiset<int> all;
  TestMesh whole;
  for (int i = 0; i < n; ++i) {
    TestMesh t = Triangle(centre, ring[i], ring[(i + 1) % n]);
    std::set<int> s = DrawAlone(t);
    all.insert(s.begin(), s.end());
    whole.positions.insert(whole.positions.end(), t.positions.begin(), t.positions.end());
    for (std::uint32_t k = 0; k < 3; ++k) whole.indices.push_back(3 * i + k);
  }
  std::set<int> unique(all.begin(), all.end());
  EXPECT_EQ(unique.size(), all.size()) << "overlap";
  EXPECT_EQ(DrawAlone(whole), unique);
  // Every pixel near the centre is covered (no cracks along shared edges).
  for (int y = 22; y < 42; ++y)
    for (int x = 22; x < 42; ++x) EXPECT_EQ(unique.count(y * 64 + x), 1u) << x << "," << y;
}

class DepthFormats : public ::testing::TestWithParam<DepthFormat> {};

TEST_P(DepthFormats, LessOrEqualAndWriteMask) {
  Canvas c(32, 32, PixelFormat::Xrgb8888, GetParam());
  Rasterizer r;
  DrawCall red = Unlit(0xff0000), green = Unlit(0x00ff00), blue = Unlit(0x0000ff);
  TestMesh nearSq = Square(0, 0, 0.2f, 2), farSq = Square(0, 0, 2.0f, 5), sameSq = Square(0, 0, 0.2f, 2);
  // Near first, then far: the far square shows only around the near one.
  Render(r, c, {{nearSq, red}, {farSq, green}});
  EXPECT_EQ(c.At(16, 16), 0xff0000u);
  EXPECT_EQ(c.At(16, 4), 0x00ff00u);
  // Equal depth passes: the later draw wins.
  Render(r, c, {{nearSq, red}, {sameSq, blue}});
  EXPECT_EQ(c.At(16, 16), 0x0000ffu);
  // Without depth writes the near square does not hide the far one.
  DrawCall redNoWrite = red;
  redNoWrite.depthWrite = false;
  Render(r, c, {{nearSq, redNoWrite}, {farSq, green}});
  EXPECT_EQ(c.At(16, 16), 0x00ff00u);
  // Without the depth test the far square paints over.
  DrawCall greenNoTest = green;
  greenNoTest.depthTest = false;
  Render(r, c, {{nearSq, red}, {farSq, greenNoTest}});
  EXPECT_EQ(c.At(16, 16), 0x00ff00u);
}

TEST_P(DepthFormats, InterpenetratingSquaresSplitWhereTheyCross) {
  // Two squares tilted in opposite directions cross at x = 0.
  Canvas c(64, 64, PixelFormat::Xrgb8888, GetParam());
  Rasterizer r;
  TestMesh a, b;
  a.positions = {{-1, -1, 2}, {-1, 1, 2}, {1, 1, 4}, {1, -1, 4}};
  b.positions = {{-1, -1, 4}, {-1, 1, 4}, {1, 1, 2}, {1, -1, 2}};
  a.indices = b.indices = {0, 1, 2, 0, 2, 3};
  Render(r, c, {{a, Unlit(0xff0000)}, {b, Unlit(0x0000ff)}});
  EXPECT_EQ(c.At(20, 32), 0xff0000u);
  EXPECT_EQ(c.At(44, 32), 0x0000ffu);
}

// A frame that only clears, with the viewport at rect.
void ClearOnly(Rasterizer& r, Canvas& c, Rect rect, std::uint32_t flags) {
  c.view.viewport = rect;
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  ASSERT_TRUE(r.Clear(flags, kBlack));
  ASSERT_TRUE(r.EndFrame());
}

// A frame over `viewport` that draws `square` in green, after a colour clear
// handed over from an earlier frame (if any) and its own clears (`clear`).
void GreenSquareFrame(Rasterizer& r, Canvas& c, Rect viewport, const TestMesh& square, std::uint32_t clear = 0,
                      const std::optional<ColorClear>& adopted = std::nullopt) {
  c.view.viewport = viewport;
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  if (adopted) {
    ASSERT_TRUE(r.AdoptColorClear(*adopted));
  }
  if (clear) {
    ASSERT_TRUE(r.Clear(clear, kBlack));
  }
  DrawCall d = Unlit(0x00ff00);
  d.mesh = square.View();
  ASSERT_TRUE(r.Draw(d));
  ASSERT_TRUE(r.EndFrame());
}

// A frame that draws a far green square over the whole of rect, without clearing.
void FarSquareWithoutClear(Rasterizer& r, Canvas& c, Rect rect) { GreenSquareFrame(r, c, rect, Square(0, 0, 40, 50)); }

TEST_P(DepthFormats, ADepthClearInAFrameThatDrawsNothingHoldsForLaterFrames) {
  const Rect whole{0, 0, 64, 64}, left{0, 0, 32, 64}, right{32, 0, 32, 64};
  struct Case {
    const char* what;
    std::vector<Rect> clears;  // one clear-only frame each
    Rect draw;
    bool leftGreen, rightGreen;
  };
  const Case cases[] = {
      {"same viewport", {whole}, whole, true, true},
      {"drawn in a smaller viewport", {whole}, left, true, false},
      {"cleared in two halves", {left, right}, whole, true, true},
      {"cleared in one half only", {left}, whole, true, false},
      {"the same half cleared twice", {right, right}, whole, false, true},
  };
  for (const Case& k : cases) {
    Canvas c(64, 64, PixelFormat::Xrgb8888, GetParam());
    Rasterizer r;
    // A near red square over everything, its depth written.
    Render(r, c, {{Square(0, 0, 4, 2), Unlit(0xff0000)}});
    ASSERT_EQ(c.CountNot(0xff0000), 0) << k.what;
    for (const Rect& rect : k.clears) ClearOnly(r, c, rect, kClearDepth);
    FarSquareWithoutClear(r, c, k.draw);
    // Where depth was cleared (and drawn) the far square shows; elsewhere
    // the near square's depth hides it.
    EXPECT_EQ(c.At(8, 32), k.leftGreen ? 0x00ff00u : 0xff0000u) << k.what;
    EXPECT_EQ(c.At(56, 32), k.rightGreen ? 0x00ff00u : 0xff0000u) << k.what;
  }
}

TEST_P(DepthFormats, ATargetOnlyClearLeavesDepthAlone) {
  Canvas c(64, 64, PixelFormat::Xrgb8888, GetParam());
  Rasterizer r;
  Render(r, c, {{Square(0, 0, 4, 2), Unlit(0xff0000)}});
  ClearOnly(r, c, {0, 0, 64, 64}, kClearTarget);
  FarSquareWithoutClear(r, c, {0, 0, 64, 64});
  EXPECT_EQ(c.CountNot(kBlack), 0);
}

INSTANTIATE_TEST_SUITE_P(Both, DepthFormats, ::testing::Values(DepthFormat::Float32, DepthFormat::Unorm16));

// A frame over `viewport` that draws a small green square in the middle.
void GreenSquareAfter(Rasterizer& r, Canvas& c, Rect viewport, const std::optional<ColorClear>& adopted) {
  GreenSquareFrame(r, c, viewport, Square(0, 0, 0.2f, 2), kClearDepth, adopted);
}

// Colour clears handed between frames, on the rasterizer's own drawing
// (false) and on the OpenGL back end (true).
class ColorClears : public ::testing::TestWithParam<bool>, protected SinkChoice {
 protected:
  void SetUp() override {
    if (GetParam()) UseGl();
  }
};

INSTANTIATE_TEST_SUITE_P(Devices, ColorClears, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Gl" : "Software"; });

// A colour clear in a frame that draws nothing stays undone only where the
// target allows it, and the frame that takes it over draws the picture that
// clearing first gives, whatever the rectangles.
TEST_P(ColorClears, LeftUndoneByAFrameThatDrawsNothingAndTakenOverByTheNext) {
  const Rect whole{0, 0, 64, 64}, left{0, 0, 32, 64};
  const std::uint32_t blue = 0x0000ff;
  for (const Rect draw : {whole, left}) {
    // What clearing and then drawing gives, each done in full.
    Canvas expected(64, 64);
    Rasterizer reference(Options());
    Render(reference, expected, {{Square(0, 0, 4, 2), Unlit(0xff0000)}});
    expected.view.viewport = whole;
    ASSERT_TRUE(reference.BeginFrame(expected.target, expected.view, expected.state));
    ASSERT_TRUE(reference.Clear(kClearTarget, blue));
    ASSERT_TRUE(reference.EndFrame());
    EXPECT_FALSE(reference.TakeColorClearLeft());  // the target did not allow it
    EXPECT_EQ(expected.CountNot(blue), 0);
    GreenSquareAfter(reference, expected, draw, std::nullopt);

    Canvas c(64, 64);
    c.target.mayLeaveColorClear = true;
    Rasterizer r(Options());
    Render(r, c, {{Square(0, 0, 4, 2), Unlit(0xff0000)}});
    c.view.viewport = whole;
    ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
    ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, blue));
    ASSERT_TRUE(r.EndFrame());
    EXPECT_EQ(c.CountNot(0xff0000), 0) << "the clear was done";
    std::optional<ColorClear> leftUndone = r.TakeColorClearLeft();
    ASSERT_TRUE(leftUndone);
    EXPECT_FALSE(r.TakeColorClearLeft());
    EXPECT_EQ(leftUndone->area.width, 64);
    EXPECT_EQ(leftUndone->color & 0xffffff, blue);
    GreenSquareAfter(r, c, draw, leftUndone);
    EXPECT_FALSE(r.TakeColorClearLeft());
    EXPECT_EQ(c.pixels, expected.pixels) << "drawn into " << draw.width << " columns";
  }
}

TEST_P(ColorClears, TakenOverOnlyOnXrgbTargets) {
  Rasterizer r(Options());
  const ColorClear clear{{0, 0, 16, 16}, 0x123456};
  EXPECT_FALSE(r.AdoptColorClear(clear));  // outside a frame
  Canvas c16(16, 16, PixelFormat::Rgb565);
  ASSERT_TRUE(r.BeginFrame(c16.target, c16.view, c16.state));
  EXPECT_FALSE(r.AdoptColorClear(clear));
  ASSERT_TRUE(r.EndFrame());
  Canvas c(16, 16);
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  EXPECT_FALSE(r.AdoptColorClear({{8, 0, 9, 16}, 0x123456}));  // off the target
  // Taken over by a frame that then draws nothing: done by EndFrame.
  ASSERT_TRUE(r.AdoptColorClear(clear));
  ASSERT_TRUE(r.EndFrame());
  EXPECT_EQ(c.CountNot(0x123456), 0);
  EXPECT_FALSE(r.TakeColorClearLeft());
}

TEST(Culling, PerWindingAndHandedness) {
  const TestMesh front = Triangle({-0.2f, -0.2f, 2}, {0, 0.2f, 2}, {0.2f, -0.2f, 2});  // clockwise on screen
  const TestMesh back = Triangle({-0.2f, -0.2f, 2}, {0.2f, -0.2f, 2}, {0, 0.2f, 2});
  struct Case {
    CullMode cull;
    bool rh;
    bool frontShows, backShows;
  } cases[] = {{CullMode::CCW, false, true, false}, {CullMode::CW, false, false, true},
               {CullMode::None, false, true, true}, {CullMode::CCW, true, true, false},
               {CullMode::CW, true, false, true}};
  for (const Case& k : cases) {
    for (int which = 0; which < 2; ++which) {
      Canvas c(32, 32);
      c.view.projection.rightHanded = k.rh;
      Rasterizer r;
      DrawCall d = Unlit(0xffffff);
      d.cull = k.cull;
      Render(r, c, {{which == 0 ? front : back, d}});
      bool shows = c.CountNot(kBlack) > 0;
      EXPECT_EQ(shows, which == 0 ? k.frontShows : k.backShows)
          << "cull " << static_cast<int>(k.cull) << (k.rh ? " RH " : " LH ") << (which == 0 ? "front" : "back");
    }
  }
}

TEST(Coverage, ViewportScissorsAndLeavesTheRestAlone) {
  Canvas c(100, 80);
  for (auto& p : c.pixels) p = 0x123456;
  c.view.viewport = {30, 20, 40, 30};
  Rasterizer r;
  DrawCall d = Unlit(0xffffff);
  Render(r, c, {{Triangle({-1e3f, -1e3f, 10}, {0, 1e3f, 10}, {1e3f, -1e3f, 10}), d}}, 0x000000);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) {
      bool inside = x >= 30 && x < 70 && y >= 20 && y < 50;
      ASSERT_EQ(c.At(x, y), inside ? 0xffffffu : 0x123456u) << x << "," << y;
    }
}

}  // namespace
}  // namespace kv::raster::test
