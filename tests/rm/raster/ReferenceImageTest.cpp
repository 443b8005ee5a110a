// Small reference scenes, one per feature, compared with stored pictures in
// ref/, drawn by both devices: the software rasterizer ("rgb") and the
// OpenGL back end ("hal", off screen through EGL; skipped where none can be
// made). A software picture may differ from its reference by at most
// kMaxChannel in any channel of any pixel and by kMeanChannel on average (the
// baseline and AVX2 pixel code, or another compiler, may round a few pixels
// differently). A GL picture gets kGlTolerance: GL rasterizes edges with its
// own sub-pixel grid and fill rule, rounds colours to 8 bits between stages
// and picks mip levels per pixel quad, so edge pixels and texel choices may
// differ, while the mean stays small. A failing comparison writes the actual
// picture and a difference picture (differences times 8) into
// <build>/raster-ref/ (hal pictures with a "-hal" suffix).
#include <gtest/gtest.h>

#include <filesystem>

#include "RasterTestSupport.h"
#include "korvane3d/rm/image/Image.h"
#include "support/GlDevice.h"
#include "support/ReferenceImage.h"
#include "korvane3d/rm/raster/TileOutput.h"

namespace kv::raster::test {
namespace {

constexpr int kMaxChannel = 16;
constexpr double kMeanChannel = 0.5;
constexpr int kW = 128, kH = 96;
// GL against the software device's references: any pixel may differ (an
// edge pixel covered by one and not the other), the mean may not by much
// (llvmpipe: 0.00 to 0.47 over these scenes).
constexpr kvtest::ImageTolerance kGlTolerance{255, 1.0};

std::filesystem::path OutDir() { return std::filesystem::path(KV_BINARY_DIR) / "raster-ref"; }

kv::image::Image ToImage(const Canvas& c) {
  kv::image::Image img;
  img.width = c.width;
  img.height = c.height;
  img.pixels.resize(static_cast<size_t>(c.width) * c.height);
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      std::uint32_t p;
      if (c.target.format == PixelFormat::Rgb565) {
        std::uint16_t v = c.At16(x, y);
        std::uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
        p = (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
      } else {
        p = c.At(x, y);
      }
      img.pixels[static_cast<size_t>(y) * c.width + x] = 0xff000000u | p;
    }
  return img;
}

// Runs each scene on the software device and on the GL device.
class ReferenceImage : public ::testing::TestWithParam<const char*>, protected SinkChoice {
 protected:
  void SetUp() override {
    if (Hal()) UseGl();
  }
  bool Hal() const { return std::string(GetParam()) == "hal"; }
  void CompareWithReference(const Canvas& c, const std::string& name) const {
    const std::filesystem::path reference = std::filesystem::path(KV_SOURCE_DIR) / "tests/rm/raster/ref" / (name + ".png");
    if (Hal())
      kvtest::CompareWithReferencePng(ToImage(c), reference, OutDir(), kGlTolerance, name + "-hal");
    else
      kvtest::CompareWithReferencePng(ToImage(c), reference, OutDir(), {kMaxChannel, kMeanChannel});
  }
};

std::shared_ptr<const Texture> Checker(int size, int cell, std::uint32_t a, std::uint32_t b, bool mipmaps) {
  std::vector<std::uint32_t> texels(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) texels[static_cast<size_t>(y) * size + x] = ((x / cell + y / cell) % 2) ? a : b;
  TextureDesc d;
  d.width = d.height = size;
  d.pixels = texels;
  d.mipmaps = mipmaps;
  std::shared_ptr<const Texture> t;
  EXPECT_TRUE(Texture::Create(d, t));
  return t;
}

Matrix Place(float x, float y, float z, float scale = 1) {
  Matrix m;
  m.m[0][0] = m.m[1][1] = m.m[2][2] = scale;
  return Multiply(m, Translation(x, y, z));
}

void Draw(Rasterizer& r, const TestMesh& mesh, DrawCall d) {
  d.mesh = mesh.View();
  Result res = r.Draw(d);
  ASSERT_TRUE(res) << res.message;
}

TEST_P(ReferenceImage, LitSpheres) {
  Canvas c(kW, kH);
  std::vector<Light> lights(4);
  lights[0].type = LightType::Ambient;
  lights[0].color = {0.15f, 0.15f, 0.2f};
  lights[1].type = LightType::Point;
  lights[1].color = {1, 0.9f, 0.7f};
  lights[1].position = {-3, 2, 1};
  lights[1].linearAttenuation = 0.1f;
  lights[2].type = LightType::Spot;
  lights[2].color = {0.3f, 0.6f, 1};
  lights[2].position = {3, 3, 2};
  lights[2].direction = {-0.5f, -0.6f, 0.6f};
  lights[2].umbra = 0.3f;
  lights[2].penumbra = 0.6f;
  lights[3].type = LightType::Directional;
  lights[3].color = {0.2f, 0.2f, 0.2f};
  lights[3].direction = {0, 0, 1};
  c.state.lights = lights;
  Rasterizer r(Options());
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, 0x102030));
  TestMesh sphere = Sphere(16);
  DrawCall d;
  d.color = 0xffe0e0e0;
  d.material.specular = {1, 1, 1};
  d.material.power = 20;
  d.modelToWorld = Place(-1.6f, 0, 6);
  Draw(r, sphere, d);
  d.shade = ShadeMode::Flat;
  d.modelToWorld = Place(0.6f, 0.3f, 5);
  Draw(r, sphere, d);
  d.shade = ShadeMode::Gouraud;
  d.color = 0xff40c040;
  d.material.emissive = {0.2f, 0, 0};
  d.modelToWorld = Multiply(Matrix{{{1.5f, 0, 0, 0}, {0, 0.6f, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}, Translation(1.2f, -1.5f, 7));
  Draw(r, sphere, d);
  ASSERT_TRUE(r.EndFrame());
  CompareWithReference(c, "lit_spheres");
}

TEST_P(ReferenceImage, TexturedFiltersAndDecal) {
  Canvas c(kW, kH);
  c.state.textureFilter = TextureFilter::LinearMipLinear;
  Rasterizer r(Options());
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, 0x000000));
  TestMesh floor;
  floor.positions = {{-4, -1, 1.2f}, {-4, -1, 30}, {4, -1, 30}, {4, -1, 1.2f}};
  floor.uvs = {{0, 0}, {0, 16}, {4, 16}, {4, 0}};
  floor.indices = {0, 1, 2, 0, 2, 3};
  DrawCall d;
  d.lighting = false;
  d.texture = Checker(64, 8, 0xffffffff, 0xff3050a0, true);
  Draw(r, floor, d);
  TestMesh wall = Square(0, 0, 1, 0);
  for (Vec2& uv : wall.uvs) uv = {uv.u * 2, uv.v * 2};
  d.texture = Checker(16, 4, 0xffff8000, 0xff000000, false);
  d.perspectiveTexturing = false;  // affine, as a mesh may ask
  Matrix turn{{{0.7f, 0, 0.7f, 0}, {0, 1, 0, 0}, {-0.7f, 0, 0.7f, 0}, {0, 0, 0, 1}}};
  d.modelToWorld = Multiply(turn, Translation(1.5f, 0.6f, 5));
  Draw(r, wall, d);
  TextureDesc keyed;
  std::vector<std::uint32_t> texels(16 * 16, 0xff00ff00);
  for (int i = 0; i < 16; ++i) texels[i * 16 + i] = texels[i * 16 + 15 - i] = 0xffffff00;
  keyed.width = keyed.height = 16;
  keyed.pixels = texels;
  keyed.colorKey = true;
  keyed.keyColor = 0x00ff00;
  std::shared_ptr<const Texture> cross;
  ASSERT_TRUE(Texture::Create(keyed, cross));
  DecalCall decal;
  decal.texture = cross;
  decal.position = {-1.5f, 0.8f, 4};
  decal.originX = decal.originY = 8;
  ASSERT_TRUE(r.DrawDecal(decal));
  ASSERT_TRUE(r.EndFrame());
  CompareWithReference(c, "textured");
}

TEST_P(ReferenceImage, FogAndSortedTransparency) {
  Canvas c(kW, kH);
  c.state.fog = {true, FogMode::Linear, 0xff8090a0, 4, 14, 1};
  c.state.renderMode = kBlendedTransparency | kSortedTransparency;
  std::vector<Light> lights(2);
  lights[0].type = LightType::Ambient;
  lights[0].color = {0.3f, 0.3f, 0.3f};
  lights[1].direction = {0.4f, -0.5f, 1};
  c.state.lights = lights;
  Rasterizer r(Options());
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, 0x8090a0));
  TestMesh sphere = Sphere(12);
  for (int k = 0; k < 6; ++k) {
    DrawCall d;
    d.color = 0xffc06040;
    d.modelToWorld = Place(-2.5f + k, -0.5f, 4 + 2.0f * k);
    Draw(r, sphere, d);
  }
  for (int k = 0; k < 3; ++k) {  // translucent panes, submitted near to far
    DrawCall d;
    d.lighting = false;
    d.cull = CullMode::None;
    d.color = k == 0 ? 0x80ff0000 : (k == 1 ? 0x8000ff00 : 0x800000ff);
    Draw(r, Square(-0.8f + 0.6f * k, 0.4f, 0.6f, 3 + k), d);
  }
  ASSERT_TRUE(r.EndFrame());
  CompareWithReference(c, "fog_transparency");
}

TEST_P(ReferenceImage, WireframePointsAndShadow) {
  Canvas c(kW, kH);
  c.state.renderMode = kBlendedTransparency;
  std::vector<Light> lights(2);
  lights[0].type = LightType::Ambient;
  lights[0].color = {0.3f, 0.3f, 0.3f};
  lights[1].direction = {0.3f, -1, 0.5f};
  c.state.lights = lights;
  std::vector<std::uint32_t> sky(4 * 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) sky[y * 4 + x] = 0xff000000u | ((40 + 40 * y) << 8) | (120 + 30 * x);
  TextureDesc bg;
  bg.width = bg.height = 4;
  bg.pixels = sky;
  std::shared_ptr<const Texture> background;
  ASSERT_TRUE(Texture::Create(bg, background));
  Rasterizer r(Options());
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, 0, background));
  TestMesh ground;
  ground.positions = {{-3, -1, 2}, {-3, -1, 10}, {3, -1, 10}, {3, -1, 2}};
  ground.normals.assign(4, {0, 1, 0});
  ground.indices = {0, 1, 2, 0, 2, 3};
  DrawCall d;
  d.color = 0xffa0a0a0;
  Draw(r, ground, d);
  // A flattened copy of a sphere on the ground plane, as the engine's planar
  // shadow would give it.
  TestMesh sphere = Sphere(10), flat = sphere;
  for (Vec3& p : flat.positions) p = {p.x * 0.8f - p.y * 0.3f, -1, p.z * 0.8f};
  DrawCall shadow;
  shadow.shadow = true;
  shadow.modelToWorld = Translation(-1, 0, 5);
  Draw(r, flat, shadow);
  DrawCall wire;
  wire.fill = FillMode::Wireframe;
  wire.color = 0xffffff40;
  wire.modelToWorld = Translation(-1, 0.2f, 5);
  Draw(r, sphere, wire);
  DrawCall points;
  points.fill = FillMode::Points;
  points.lighting = false;
  points.color = 0xffff4040;
  points.modelToWorld = Translation(1.4f, 0.2f, 5);
  Draw(r, sphere, points);
  ASSERT_TRUE(r.EndFrame());
  CompareWithReference(c, "wire_points_shadow");
}

TEST_P(ReferenceImage, Dithered565) {
  Canvas c(kW, kH, PixelFormat::Rgb565, DepthFormat::Unorm16);
  c.state.dither = true;
  Rasterizer r(Options());
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, 0x000000));
  TestMesh ramp = Square(0, 0, 2, 2);
  ramp.vertexColors = {0xff000000, 0xff000000, 0xffffffff, 0xff3080ff};
  DrawCall d;
  d.lighting = false;
  Draw(r, ramp, d);
  ASSERT_TRUE(r.EndFrame());
  CompareWithReference(c, "dither565");
}

INSTANTIATE_TEST_SUITE_P(Devices, ReferenceImage, ::testing::Values("rgb", "hal"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
}  // namespace kv::raster::test
