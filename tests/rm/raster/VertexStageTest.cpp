// The vertex stage's vectorised path (eight vertices at a time, where the
// processor has AVX2) against its scalar loop: the same bits in every field, for
// vertices inside, outside and behind the view, beyond the guard band and
// non-finite, lit and unlit, with and without texture coordinates, and for
// counts that leave a partial block.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "korvane3d/rm/raster/Kernels.h"
#include "korvane3d/rm/raster/RasterMath.h"
#include "korvane3d/rm/raster/VertexStage.h"

namespace kv::raster {
namespace {

struct Output {
  std::vector<ClipVertex> vertices;
  std::vector<std::uint16_t> outcodes;
  std::vector<std::uint32_t> baseColors;
};

// Positions around the view volume, and some that no view holds.
std::vector<Vec3> Positions(std::size_t count, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> side(-3, 3), depth(-1, 12);
  std::vector<Vec3> p(count);
  for (Vec3& v : p) v = {side(rng), side(rng), depth(rng)};
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const Vec3 special[] = {{0, 0, 0}, {5000, 0, 2}, {0, -9000, 3}, {nan, 0, 2}, {0, inf, 2}, {1e30f, 1e30f, 1e30f}};
  for (std::size_t i = 0; i < std::size(special) && i * 5 < count; ++i) p[i * 5] = special[i];
  return p;
}

std::vector<Vec3> Normals(std::size_t count, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(-1, 1);
  std::vector<Vec3> n(count);
  for (Vec3& v : n) v = Normalize(Vec3{d(rng), d(rng), d(rng)});
  return n;
}

struct Case {
  std::size_t count = 37;
  bool lit = true;
  bool uvs = true;
  int lights = 2;
  Matrix modelToWorld;
};

Output RunStage(const Case& c, VertexKernel kernel) {
  const std::vector<Vec3> positions = Positions(c.count, 7), normals = Normals(c.count, 11);
  std::vector<Vec2> uvs;
  for (std::size_t i = 0; c.uvs && i < c.count; ++i) uvs.push_back({0.25f * static_cast<float>(i), -1.5f});

  DrawCall draw;
  draw.mesh.positions = positions;
  draw.mesh.normals = normals;
  draw.mesh.uvs = uvs;
  draw.modelToWorld = c.modelToWorld;
  draw.color = 0xc08040f0;
  draw.lighting = c.lit;
  draw.material.emissive = {0.1f, 0.0f, 0.05f};

  DrawState state;
  state.lit = c.lit;
  for (int k = 0; k < 3; ++k) state.emissive[k] = (&draw.material.emissive.r)[k];

  std::vector<Light> lights;
  Light ambient;
  ambient.type = LightType::Ambient;
  ambient.color = {0.2f, 0.25f, 0.3f};
  lights.push_back(ambient);
  for (int i = 0; i < c.lights; ++i) {
    Light l;
    l.type = i % 2 ? LightType::ParallelPoint : LightType::Directional;
    l.color = {0.9f, 0.5f + 0.1f * static_cast<float>(i), 0.3f};
    l.direction = {0.3f * static_cast<float>(i), -0.5f, 1};
    l.position = {4, 5, -6};
    lights.push_back(l);
  }
  FrameLighting lighting;
  PrepareFrameLighting(lights, Matrix{}, 0, Fog{}, lighting);

  // A perspective projection: w is the depth, the near plane at z = 1.
  Matrix toClip;
  toClip.m[0][0] = 1.5f;
  toClip.m[1][1] = 2.0f;
  toClip.m[2][2] = 1.1f;
  toClip.m[2][3] = 1;
  toClip.m[3][2] = -1.1f;
  toClip.m[3][3] = 0;

  VertexStageInput in;
  in.draw = &draw;
  in.state = &state;
  in.lighting = &lighting;
  in.worldToClip = toClip;
  in.guard = {8, 8};
  in.map = {320, 240, 320, 240};
  in.finalColors = true;
  in.commonVertices = kernel;

  Output out;
  out.vertices.assign(c.count, ClipVertex{});
  out.outcodes.assign(c.count, 0xdead);
  out.baseColors.assign(c.count, 0);
  RunVertexStage(in, out.vertices.data(), out.outcodes.data(), out.baseColors.data(), nullptr);
  return out;
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectSame(const Output& scalar, const Output& vector, const std::string& what) {
  ASSERT_EQ(scalar.vertices.size(), vector.vertices.size());
  int projected = 0;
  for (std::size_t i = 0; i < scalar.vertices.size(); ++i) {
    const ClipVertex &a = scalar.vertices[i], &b = vector.vertices[i];
    const float fa[] = {a.x, a.y, a.z, a.w, a.sz, a.q, a.c[0], a.c[1], a.c[2], a.c[3], a.s[0], a.s[1], a.s[2], a.fog, a.u, a.v};
    const float fb[] = {b.x, b.y, b.z, b.w, b.sz, b.q, b.c[0], b.c[1], b.c[2], b.c[3], b.s[0], b.s[1], b.s[2], b.fog, b.u, b.v};
    for (std::size_t k = 0; k < std::size(fa); ++k)
      EXPECT_TRUE(SameBits(fa[k], fb[k])) << what << ": vertex " << i << " value " << k << ": " << fa[k] << " against " << fb[k];
    EXPECT_EQ(a.fx, b.fx) << what << ": vertex " << i;
    EXPECT_EQ(a.fy, b.fy) << what << ": vertex " << i;
    EXPECT_EQ(scalar.outcodes[i], vector.outcodes[i]) << what << ": vertex " << i;
    EXPECT_EQ(scalar.baseColors[i], vector.baseColors[i]) << what << ": vertex " << i;
    projected += !(scalar.outcodes[i] & (kClipNeeded | kClipInvalid));
  }
  // The positions reach every branch: some projected, some clipped or invalid.
  EXPECT_GT(projected, 0) << what;
  EXPECT_LT(projected, static_cast<int>(scalar.vertices.size())) << what;
}

std::vector<std::pair<std::string, VertexKernel>> Kernels() {
  std::vector<std::pair<std::string, VertexKernel>> k;
  for (const KernelTable* table : {&SelectKernels(false), &SelectKernels(true)})
    if (table->vertices) k.push_back({table->name, table->vertices});
  return k;
}

Matrix RotatedScaledMoved() {
  Matrix m;
  const float c = std::cos(0.7f) * 1.8f, s = std::sin(0.7f) * 1.8f;
  m.m[0][0] = c;
  m.m[0][2] = -s;
  m.m[1][1] = 1.8f;
  m.m[2][0] = s;
  m.m[2][2] = c;
  m.m[3][0] = 0.5f;
  m.m[3][1] = -0.25f;
  m.m[3][2] = 4;
  return m;
}

TEST(VertexKernels, GiveTheScalarStagesBitsInEveryCase) {
  if (Kernels().empty()) GTEST_SKIP() << "no vectorised vertex kernel on this processor";
  std::vector<std::pair<std::string, Case>> cases;
  cases.push_back({"lit, two lights", Case{}});
  Case unlit;
  unlit.lit = false;
  unlit.uvs = false;
  cases.push_back({"unlit, no uv", unlit});
  Case moved;
  moved.modelToWorld = RotatedScaledMoved();
  moved.lights = 3;
  cases.push_back({"lit in model space", moved});
  Case ambientOnly;
  ambientOnly.lights = 0;
  ambientOnly.count = 8;
  cases.push_back({"ambient only, one whole block", ambientOnly});
  Case few;
  few.count = 5;
  cases.push_back({"a partial block only", few});
  for (const auto& [kernelName, kernel] : Kernels())
    for (const auto& [caseName, c] : cases) ExpectSame(RunStage(c, nullptr), RunStage(c, kernel), kernelName + ", " + caseName);
}

TEST(VertexKernels, LeaveUncommonDrawsToTheScalarLoop) {
  // A non-uniform scale lights in world space: the vectorised path must not
  // take it (it lights in model space only), and the result is the same.
  Case stretched;
  stretched.modelToWorld.m[0][0] = 3;
  for (const auto& [kernelName, kernel] : Kernels())
    ExpectSame(RunStage(stretched, nullptr), RunStage(stretched, kernel), kernelName + ", non-uniform scale");
}

}  // namespace
}  // namespace kv::raster
