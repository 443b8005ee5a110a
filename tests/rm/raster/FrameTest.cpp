// The frame sequence and its error handling, and determinism across runs,
// thread counts and instruction sets.
#include <gtest/gtest.h>

#include <cmath>

#include "RasterTestSupport.h"

namespace kv::raster::test {
namespace {

TEST(Frame, CallsOutsideAFrameFailCleanly) {
  Rasterizer r;
  Canvas c(8, 8);
  EXPECT_EQ(r.Draw(DrawCall{}).status, Status::InvalidState);
  EXPECT_EQ(r.Clear(kClearTarget, 0).status, Status::InvalidState);
  EXPECT_EQ(r.EndFrame().status, Status::InvalidState);
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  EXPECT_EQ(r.BeginFrame(c.target, c.view, c.state).status, Status::InvalidState);
  EXPECT_EQ(r.Clear(8, 0).status, Status::InvalidArgument);
  EXPECT_TRUE(r.EndFrame());
  EXPECT_FALSE(r.InFrame());
}

TEST(Frame, BadFrameSettingsAreRefused) {
  Rasterizer r;
  Canvas c(8, 8);
  Target t = c.target;
  t.pixels = nullptr;
  EXPECT_EQ(r.BeginFrame(t, c.view, c.state).status, Status::InvalidArgument);
  t = c.target;
  t.width = 5000;
  EXPECT_EQ(r.BeginFrame(t, c.view, c.state).status, Status::TooLarge);
  View v = c.view;
  v.viewport = {4, 4, 8, 8};
  EXPECT_EQ(r.BeginFrame(c.target, v, c.state).status, Status::InvalidArgument) << "viewport outside the target";
  v = c.view;
  v.projection.back = 0.5f;
  EXPECT_EQ(r.BeginFrame(c.target, v, c.state).status, Status::InvalidArgument);
  v = c.view;
  v.worldToCamera.m[0][0] = NAN;
  EXPECT_EQ(r.BeginFrame(c.target, v, c.state).status, Status::InvalidArgument);
  std::vector<Light> many(65);
  FrameState s = c.state;
  s.lights = many;
  EXPECT_EQ(r.BeginFrame(c.target, c.view, s).status, Status::TooLarge);
  EXPECT_FALSE(r.InFrame());
  View empty = c.view;
  empty.viewport = {0, 0, 0, 0};
  ASSERT_TRUE(r.BeginFrame(c.target, empty, c.state)) << "an empty viewport is accepted";
  DrawCall d = Unlit(0xffffff);
  TestMesh m = Square(0, 0, 1, 2);
  d.mesh = m.View();
  EXPECT_TRUE(r.Draw(d));
  EXPECT_TRUE(r.EndFrame());
}

// A bad draw is refused and leaves the frame exactly as if it had not been made.
TEST(Frame, BadDrawsChangeNothing) {
  TestMesh good = Square(0, 0, 0.3f, 2);
  auto bad = [&](int which) {
    TestMesh m = Square(0, 0, 1, 2);
    DrawCall d = Unlit(0xff0000);
    switch (which) {
      case 0: m.indices.push_back(1); break;                  // not a multiple of 3
      case 1: m.indices[4] = 99; break;                       // beyond the vertices
      case 2: m.normals.pop_back(); break;                    // one normal short
      case 3: m.faceColors = {0xffffffff}; break;             // one colour for two faces
      case 4: d.modelToWorld.m[3][0] = INFINITY; break;
      case 5: d.cull = static_cast<CullMode>(7); break;
      case 6: m.uvs.push_back({0, 0}); break;
      default: d.material.power = NAN; break;
    }
    return std::make_pair(m, d);
  };
  Canvas reference(32, 32);
  Rasterizer r;
  Render(r, reference, {{good, Unlit(0x00ff00)}});
  for (int which = 0; which < 8; ++which) {
    Canvas c(32, 32);
    ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
    ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, 0));
    auto [m, d] = bad(which);
    d.mesh = m.View();
    EXPECT_EQ(r.Draw(d).status, Status::InvalidArgument) << "case " << which;
    DrawCall g = Unlit(0x00ff00);
    g.mesh = good.View();
    ASSERT_TRUE(r.Draw(g));
    ASSERT_TRUE(r.EndFrame());
    EXPECT_EQ(c.pixels, reference.pixels) << "case " << which;
  }
}

TEST(Frame, TextureCreationChecksItsInput) {
  std::shared_ptr<const Texture> t;
  std::vector<std::uint32_t> px(4);
  TextureDesc d;
  d.width = 2;
  d.height = 3;
  d.pixels = px;
  EXPECT_EQ(Texture::Create(d, t).status, Status::InvalidArgument);
  d.height = 0;
  EXPECT_EQ(Texture::Create(d, t).status, Status::InvalidArgument);
  d.width = d.height = 20000;
  EXPECT_EQ(Texture::Create(d, t).status, Status::TooLarge);
  EXPECT_EQ(t, nullptr);
  d.width = 1;
  d.height = 4;
  d.mipmaps = true;
  ASSERT_TRUE(Texture::Create(d, t));
  EXPECT_EQ(t->LevelCount(), 3);  // 1x4, 1x2, 1x1
}

// A busy scene: textured, translucent, fogged, lit spheres crossing tiles.
// deferred: the draws keep their arrays until EndFrame, so their vertex work
// waits for it and runs on every thread.
void BusyScene(Rasterizer& r, Canvas& c, const std::shared_ptr<const Texture>& tex, bool deferred = false) {
  TestMesh sphere = Sphere(12);
  std::vector<Light> lights(2);
  lights[0].type = LightType::Ambient;
  lights[0].color = {0.2f, 0.2f, 0.2f};
  lights[1].type = LightType::Point;
  lights[1].position = {2, 3, -2};
  c.state.lights = lights;
  c.state.fog = {true, FogMode::Linear, 0xff203040, 4, 12, 1};
  c.state.renderMode = kBlendedTransparency | kSortedTransparency;
  c.state.textureFilter = TextureFilter::LinearMipLinear;
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, 0x101010));
  for (int k = 0; k < 30; ++k) {
    DrawCall d;
    d.mesh = sphere.View();
    d.modelToWorld = Translation(-3.0f + (k % 6) * 1.2f, -2.0f + (k / 6) * 1.0f, 5.0f + (k % 4));
    d.color = k % 3 == 0 ? 0x90ffffff : 0xffffc080;
    d.texture = k % 2 ? tex : nullptr;
    d.material.specular = {1, 1, 1};
    d.material.power = 8;
    d.meshStaysValid = deferred;
    ASSERT_TRUE(r.Draw(d));
  }
  ASSERT_TRUE(r.EndFrame());
}

TEST(Determinism, SameImageForAnyThreadCountAndRun) {
  std::vector<std::uint32_t> texels(64 * 64);
  for (int i = 0; i < 64 * 64; ++i) texels[i] = 0xff000000u | (i * 2654435761u >> 8);
  TextureDesc desc;
  desc.width = desc.height = 64;
  desc.pixels = texels;
  desc.mipmaps = true;
  std::shared_ptr<const Texture> tex;
  ASSERT_TRUE(Texture::Create(desc, tex));
  std::vector<std::uint32_t> first;
  for (int threads : {1, 2, 3, 2}) {
    for (bool deferred : {false, true}) {
      Canvas c(300, 200);
      RasterizerOptions o;
      o.threads = threads;
      Rasterizer r(o);
      BusyScene(r, c, tex, deferred);
      if (first.empty()) {
        first = c.pixels;
        EXPECT_GT(c.CountNot(0x101010), 10000);
      } else {
        EXPECT_EQ(c.pixels, first) << threads << " threads, vertex work " << (deferred ? "deferred" : "in Draw");
      }
    }
  }
  // The baseline pixel code draws the same picture as the wide one, up to
  // rounding in the last bit.
  Canvas c(300, 200);
  RasterizerOptions o;
  o.allowWideKernels = false;
  Rasterizer r(o);
  BusyScene(r, c, tex);
  int worst = 0;
  for (size_t i = 0; i < first.size(); ++i)
    for (int shift : {0, 8, 16})
      worst = std::max(worst, std::abs(static_cast<int>((first[i] >> shift) & 255) -
                                       static_cast<int>((c.pixels[i] >> shift) & 255)));
  EXPECT_LE(worst, 1);
}

}  // namespace
}  // namespace kv::raster::test
