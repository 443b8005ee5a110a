// Lighting at known points: each light type, attenuation, spot cones,
// specular, emissive, light masks, flat against Gouraud, normals under
// non-uniform scaling, and fog.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "RasterTestSupport.h"
#include "korvane3d/rm/raster/Projection.h"

namespace kv::raster::test {
namespace {

// A small flat-shaded triangle whose centroid is (x, 0, z), facing the
// camera; flat shading lights it once at the centroid with the face normal.
TestMesh FacingTriangle(float x, float z) {
  const float s = 0.05f * z;
  return Triangle({x - s, -s, z}, {x, 2 * s, z}, {x + s, -s, z});
}

// The centre pixel's red channel (0..255) after lighting FacingTriangle.
int LitRed(std::vector<Light> lights, DrawCall d = {}, float x = 0, float z = 2) {
  Canvas c(64, 64);
  c.state.lights = lights;
  Rasterizer r;
  d.shade = ShadeMode::Flat;
  Render(r, c, {{FacingTriangle(x, z), d}});
  Vec4 p = TransformToScreen(c.view, {x, 0, z});
  return ToRgb(c.At(static_cast<int>(p.x / p.w), static_cast<int>(p.y / p.w))).r;
}

Light Ambient(float v) {
  Light l;
  l.type = LightType::Ambient;
  l.color = {v, v, v};
  return l;
}

Light PointAt(Vec3 pos, float c, float lin, float quad) {
  Light l;
  l.type = LightType::Point;
  l.position = pos;
  l.constantAttenuation = c;
  l.linearAttenuation = lin;
  l.quadraticAttenuation = quad;
  return l;
}

TEST(Lighting, AmbientAndDirectional) {
  EXPECT_EQ(LitRed({Ambient(0.3f)}), 77);
  EXPECT_EQ(LitRed({Ambient(0.3f), Ambient(0.2f)}), 128) << "ambient lights add up";
  Light dir;
  dir.direction = {0, 0, 1};  // shining into the screen, straight at the face
  EXPECT_EQ(LitRed({dir}), 255);
  dir.direction = {std::sin(1.0471976f), 0, std::cos(1.0471976f)};  // 60 degrees off
  EXPECT_NEAR(LitRed({dir}), 127.5, 0.5);
  dir.direction = {0, 0, -1};  // from behind
  EXPECT_EQ(LitRed({dir}), 0);
  EXPECT_EQ(LitRed({}), 0) << "lit with no lights is dark";
}

TEST(Lighting, PointAttenuationAndRange) {
  // The light at the camera, the centroid 2 units away, head on.
  EXPECT_EQ(LitRed({PointAt({0, 0, 0}, 0, 1, 0)}), 128);  // 1/2
  EXPECT_EQ(LitRed({PointAt({0, 0, 0}, 0, 0, 1)}), 64);   // 1/4
  EXPECT_EQ(LitRed({PointAt({0, 0, 0}, 1, 0, 0)}), 255);
  EXPECT_EQ(LitRed({PointAt({0, 0, 0}, 0.25f, 0, 0)}), 255) << "attenuation is capped at 1";
  Light limited = PointAt({0, 0, 0}, 1, 0, 0);
  limited.range = 1.5f;
  EXPECT_EQ(LitRed({limited}), 0) << "no light beyond the range";
  limited.range = 2.5f;
  EXPECT_EQ(LitRed({limited}), 255);
}

TEST(Lighting, SpotConeWithPenumbra) {
  Light spot;
  spot.type = LightType::Spot;
  spot.direction = {0, 0, 1};
  spot.umbra = 0.4f;     // full angles: 0.2 and 0.25 rad either side of the axis
  spot.penumbra = 0.5f;
  EXPECT_EQ(LitRed({spot}), 255) << "on the axis";
  const float theta = 0.225f;  // between the two half angles
  const float x = 2 * std::tan(theta);
  const float expected =
      std::cos(theta) * (std::cos(theta) - std::cos(0.25f)) / (std::cos(0.2f) - std::cos(0.25f)) * 255;
  EXPECT_NEAR(LitRed({spot}, {}, x), expected, 1.0);
  EXPECT_EQ(LitRed({spot}, {}, 2 * std::tan(0.3f)), 0) << "outside the penumbra";
}

TEST(Lighting, ParallelPointLightsEachObjectFromItsOrigin) {
  Light pp;
  pp.type = LightType::ParallelPoint;
  pp.position = {0, 0, -8};
  DrawCall d;
  d.modelToWorld = Translation(0, 0, 2);
  Canvas c(64, 64);
  std::vector<Light> lights{pp};
  c.state.lights = lights;
  Rasterizer r;
  d.shade = ShadeMode::Flat;
  const TestMesh atOrigin = Triangle({-0.1f, -0.1f, 0}, {0, 0.2f, 0}, {0.1f, -0.1f, 0});
  Render(r, c, {{atOrigin, d}});
  EXPECT_EQ(ToRgb(c.At(32, 32)).r, 255) << "parallel rays, no attenuation with distance";
  lights[0].position = {0, 10, 2};  // straight above the object's origin: grazing
  c.state.lights = lights;
  Render(r, c, {{atOrigin, d}});
  EXPECT_EQ(ToRgb(c.At(32, 32)).r, 0);
}

TEST(Lighting, SpecularEmissiveAndMask) {
  Light dir;
  dir.direction = {0, 0, 1};
  DrawCall d;
  d.color = 0xff000000;  // black base: only highlights and emission show
  d.material.specular = {1, 1, 1};
  d.material.power = 10;
  EXPECT_EQ(LitRed({dir}, d), 255);
  dir.direction = {std::sin(1.0471976f), 0, std::cos(1.0471976f)};
  EXPECT_NEAR(LitRed({dir}, d), std::pow(std::cos(0.5235988f), 10.0f) * 255, 1.0) << "half vector at 30 degrees";
  d.material = {};
  d.material.emissive = {0.5f, 0, 0};
  EXPECT_EQ(LitRed({}, d), 128);
  DrawCall masked;
  masked.lightMask = ~std::uint64_t{1};
  EXPECT_EQ(LitRed({Ambient(1)}, masked), 0) << "light 0 masked out";
  DrawCall unlit = Unlit(0x123456);
  Canvas c(16, 16);
  Rasterizer r;
  Render(r, c, {{Square(0, 0, 1, 2), unlit}});
  EXPECT_EQ(c.At(8, 8), 0x123456u) << "lighting off: the base colour at full intensity";
}

TEST(Lighting, FlatIsOneColourPerFaceGouraudBlends) {
  TestMesh m = Triangle({-0.6f, -0.5f, 2}, {0, 0.6f, 2}, {0.6f, -0.5f, 2});
  m.normals = {{-0.7f, 0, -0.7f}, {0, 0.7f, -0.7f}, {0.7f, 0, -0.7f}};
  Light dir;
  dir.direction = {0.3f, 0, 1};
  std::vector<Light> lights{dir};
  for (ShadeMode shade : {ShadeMode::Flat, ShadeMode::Gouraud}) {
    Canvas c(64, 64);
    c.state.lights = lights;
    Rasterizer r;
    DrawCall d;
    d.shade = shade;
    Render(r, c, {{m, d}});
    std::set<std::uint32_t> colours;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (c.At(x, y) != kBlack) colours.insert(c.At(x, y));
    if (shade == ShadeMode::Flat)
      EXPECT_EQ(colours.size(), 1u);
    else
      EXPECT_GT(colours.size(), 10u);
  }
}

TEST(Lighting, NormalsFollowNonUniformScaling) {
  // A model-space normal tilted 45 degrees in x-z, stretched by 2 along x:
  // the world normal becomes (0.5, 0, −1) normalised, whose dot with the
  // direction to a head-on light is 0.894.
  TestMesh m = Triangle({-0.1f, -0.1f, 0}, {0, 0.1f, 0}, {0.1f, -0.1f, 0});
  m.normals.assign(3, {0.70710678f, 0, -0.70710678f});
  Light dir;
  dir.direction = {0, 0, 1};
  std::vector<Light> lights{dir};
  Canvas c(64, 64);
  c.state.lights = lights;
  Rasterizer r;
  DrawCall d;
  d.modelToWorld = Multiply(Matrix{{{2, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}, Translation(0, 0, 2));
  Render(r, c, {{m, d}});
  EXPECT_NEAR(ToRgb(c.At(32, 32)).r, 0.8944f * 255, 1.0);
}

struct FogCase {
  FogMode mode;
  float start, end, density, depth;
  float expected;  // the fog factor
};

TEST(Fog, FormulasAtKnownDepths) {
  const FogCase cases[] = {{FogMode::Linear, 1, 5, 1, 3, 0.5f},
                           {FogMode::Linear, 1, 5, 1, 6, 0.0f},
                           {FogMode::Exponential, 1, 100, 0.5f, 3, std::exp(-1.5f)},
                           {FogMode::ExponentialSquared, 1, 100, 0.5f, 3, std::exp(-2.25f)}};
  for (const FogCase& f : cases) {
    Canvas c(32, 32);
    c.state.fog = {true, f.mode, 0xffff0000, f.start, f.end, f.density};
    Rasterizer r;
    Render(r, c, {{Square(0, 0, f.depth, f.depth), Unlit(0xffffff)}});
    Rgb p = ToRgb(c.At(16, 16));
    EXPECT_EQ(p.r, 255);
    EXPECT_NEAR(p.g, f.expected * 255, 1.0) << "mode " << static_cast<int>(f.mode) << " depth " << f.depth;
    EXPECT_EQ(p.g, p.b);
  }
}

}  // namespace
}  // namespace kv::raster::test
