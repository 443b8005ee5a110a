// Micro benchmarks of the software rasterizer's stages: per-vertex work
// (many small draws), set-up of small triangles, fill rate, texture
// sampling on small and large triangles, and clipping, each with one thread
// and with two.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "korvane3d/rm/raster/RasterMath.h"
#include "korvane3d/rm/raster/Rasterizer.h"
#include "korvane3d/rm/raster/Texture.h"
#include "korvane3d/rm/raster/VertexStage.h"

using namespace kv;

namespace {

using namespace kv::raster;

struct Scene {
  std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(640 * 480);
  Target target{pixels.data(), 640, 480, 640 * 4, PixelFormat::Xrgb8888, DepthFormat::Float32};
  View view;
  std::vector<Light> lights;
  FrameState state;
  Scene() {
    view.projection.back = 1000;
    view.viewport = {0, 0, 640, 480};
    lights.resize(2);
    lights[0].type = LightType::Ambient;
    lights[0].color = {0.2f, 0.2f, 0.2f};
    lights[1].direction = {0, -0.7f, 0.7f};
    state.lights = lights;
  }
};

struct Mesh {
  std::vector<Vec3> positions, normals;
  std::vector<Vec2> uvs;
  std::vector<std::uint32_t> indices;
  MeshData View() const {
    MeshData m;
    m.positions = positions;
    m.normals = normals;
    m.uvs = uvs;
    m.indices = indices;
    return m;
  }
};

// 256x256 checker of 32-texel squares, as in the reference textured scene.
std::shared_ptr<const Texture> Checker() {
  std::vector<std::uint32_t> texels(256 * 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) texels[y * 256 + x] = ((x / 32 + y / 32) % 2 == 0) ? 0xffffffffu : 0xffc82828u;
  TextureDesc desc;
  desc.width = desc.height = 256;
  desc.pixels = texels;
  std::shared_ptr<const Texture> texture;
  Texture::Create(desc, texture);
  return texture;
}

Mesh SphereMesh(int n) {
  Mesh m;
  for (int i = 0; i <= n; ++i)
    for (int j = 0; j <= n; ++j) {
      float th = 3.14159265f * i / n, ph = 6.28318531f * j / n;
      Vec3 p{std::sin(th) * std::cos(ph), std::cos(th), std::sin(th) * std::sin(ph)};
      m.positions.push_back(p);
      m.normals.push_back(p);
      m.uvs.push_back({static_cast<float>(j) / n, static_cast<float>(i) / n});
    }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      std::uint32_t a = i * (n + 1) + j, b = a + 1, c = a + n + 1, d = c + 1;
      m.indices.insert(m.indices.end(), {a, b, c, b, d, c});
    }
  return m;
}

template <typename DrawAll>
void RunFrames(benchmark::State& st, DrawAll drawAll, TextureFilter filter = TextureFilter::Nearest) {
  Scene scene;
  scene.state.textureFilter = filter;
  RasterizerOptions options;
  options.threads = static_cast<int>(st.range(0));
  Rasterizer r(options);
  for (auto _ : st) {
    r.BeginFrame(scene.target, scene.view, scene.state);
    r.Clear(kClearTarget | kClearDepth, 0x202040);
    drawAll(r);
    r.EndFrame();
  }
  st.counters["fps"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}

// 2000 small lit objects: transform, light and per-draw overhead.
void BM_ManySmallDraws(benchmark::State& st) {
  const Mesh cube = SphereMesh(3);
  DrawCall d;
  d.mesh = cube.View();
  RunFrames(st, [&](Rasterizer& r) {
    for (int k = 0; k < 2000; ++k) {
      d.modelToWorld = Multiply(Matrix{{{0.2f, 0, 0, 0}, {0, 0.2f, 0, 0}, {0, 0, 0.2f, 0}, {0, 0, 0, 1}}},
                                Translation(-10.0f + (k % 50) * 0.4f, -8.0f + (k / 50) * 0.4f, 20));
      r.Draw(d);
    }
  });
}
BENCHMARK(BM_ManySmallDraws)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The vertex stage alone on a lit sphere of 14,641 vertices (one
// parallel light and ambient, model-space lighting): the scalar loop (0)
// against the eight-at-a-time kernel (1; the scalar loop again on processors
// without AVX2).
void BM_VertexStage(benchmark::State& st) {
  const Mesh sphere = SphereMesh(120);
  const Scene scene;
  DrawCall d;
  d.mesh = sphere.View();
  d.modelToWorld = Translation(0, 0, 2.5f);
  d.lighting = true;
  DrawState state;
  state.lit = true;
  FrameLighting lighting;
  PrepareFrameLighting(scene.lights, Matrix{}, 0, Fog{}, lighting);
  VertexStageInput in;
  in.draw = &d;
  in.state = &state;
  in.lighting = &lighting;
  in.worldToClip = Translation(0, 0, 0);
  in.worldToClip.m[2][3] = 1;
  in.worldToClip.m[3][3] = 0;
  in.guard = {8, 8};
  in.map = {320, 240, 320, 240};
  in.finalColors = true;
  const VertexKernel kernels[] = {nullptr, SelectKernels(true).vertices};
  in.commonVertices = kernels[st.range(0)];
  const std::size_t n = sphere.positions.size();
  std::vector<ClipVertex> vertices(n);
  std::vector<std::uint16_t> outcodes(n);
  std::vector<std::uint32_t> colors(n);
  for (auto _ : st) {
    RunVertexStage(in, vertices.data(), outcodes.data(), colors.data(), nullptr);
    benchmark::DoNotOptimize(vertices.data());
  }
  st.SetItemsProcessed(static_cast<std::int64_t>(st.iterations() * n));
}
BENCHMARK(BM_VertexStage)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One finely divided sphere: set-up of about 30,000 tiny triangles.
void BM_SmallTriangles(benchmark::State& st) {
  const Mesh sphere = SphereMesh(120);
  DrawCall d;
  d.mesh = sphere.View();
  d.modelToWorld = Translation(0, 0, 2.5f);
  RunFrames(st, [&](Rasterizer& r) { r.Draw(d); });
}
BENCHMARK(BM_SmallTriangles)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Texture sampling (bilinear, perspective, modulated) where it is most
// wasteful: 64 spheres of about 400 triangles, a few pixels each.
void BM_TexturedSmallTriangles(benchmark::State& st) {
  const Mesh sphere = SphereMesh(15);
  DrawCall d;
  d.mesh = sphere.View();
  d.texture = Checker();
  RunFrames(st, [&](Rasterizer& r) {
    for (int k = 0; k < 64; ++k) {
      d.modelToWorld = Translation(-8.75f + (k % 8) * 2.5f, 8.75f - (k / 8) * 2.5f, 25);
      r.Draw(d);
    }
  }, TextureFilter::Linear);
}
BENCHMARK(BM_TexturedSmallTriangles)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same texture over one sphere filling most of the frame: sampling on
// large triangles.
void BM_TexturedLargeTriangles(benchmark::State& st) {
  const Mesh sphere = SphereMesh(15);
  DrawCall d;
  d.mesh = sphere.View();
  d.texture = Checker();
  d.modelToWorld = Translation(0, 0, 2.2f);
  RunFrames(st, [&](Rasterizer& r) { r.Draw(d); }, TextureFilter::Linear);
}
BENCHMARK(BM_TexturedLargeTriangles)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Ten full-screen layers drawn far to near: fill rate.
void BM_FillRate(benchmark::State& st) {
  Mesh quads;
  for (int k = 0; k < 10; ++k) {
    float z = 20.0f - k, h = 30;
    std::uint32_t base = static_cast<std::uint32_t>(quads.positions.size());
    quads.positions.insert(quads.positions.end(), {{-h, -h, z}, {-h, h, z}, {h, h, z}, {h, -h, z}});
    quads.indices.insert(quads.indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
  }
  DrawCall d;
  d.mesh = quads.View();
  d.lighting = false;
  RunFrames(st, [&](Rasterizer& r) { r.Draw(d); });
}
BENCHMARK(BM_FillRate)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// A floor crossing the front plane and reaching beyond the guard band.
void BM_ClippedFloor(benchmark::State& st) {
  Mesh floor;
  for (int i = 0; i < 50; ++i)
    for (int j = 0; j < 50; ++j) {
      float x = -5000.0f + i * 200, z = -5000.0f + j * 200;
      std::uint32_t base = static_cast<std::uint32_t>(floor.positions.size());
      floor.positions.insert(floor.positions.end(), {{x, -2, z}, {x, -2, z + 200}, {x + 200, -2, z + 200}, {x + 200, -2, z}});
      floor.indices.insert(floor.indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    }
  DrawCall d;
  d.mesh = floor.View();
  d.lighting = false;
  RunFrames(st, [&](Rasterizer& r) { r.Draw(d); });
}
BENCHMARK(BM_ClippedFloor)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The viewer demo's floor: a textured plane in perspective over most of the
// frame, flat shaded and fogged, point-sampled (0) or bilinear (1); two
// threads. Its pixels take the block loops specialised for draws without
// blending, alpha test, separate specular or mip levels.
void BM_FoggedTexturedFloor(benchmark::State& st) {
  Mesh floor;
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) {
      float x = -40.0f + i * 10, z = 1.0f + j * 10;
      std::uint32_t base = static_cast<std::uint32_t>(floor.positions.size());
      floor.positions.insert(floor.positions.end(), {{x, -2, z}, {x, -2, z + 10}, {x + 10, -2, z + 10}, {x + 10, -2, z}});
      floor.uvs.insert(floor.uvs.end(), {{0, 0}, {0, 1}, {1, 1}, {1, 0}});
      floor.indices.insert(floor.indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    }
  DrawCall d;
  d.mesh = floor.View();
  d.lighting = false;
  d.shade = ShadeMode::Flat;
  d.cull = CullMode::None;
  d.texture = Checker();
  Scene scene;
  scene.state.fog.enabled = true;
  scene.state.fog.start = 5;
  scene.state.fog.end = 80;
  scene.state.textureFilter = st.range(0) ? TextureFilter::Linear : TextureFilter::Nearest;
  RasterizerOptions options;
  options.threads = 2;
  Rasterizer r(options);
  for (auto _ : st) {
    r.BeginFrame(scene.target, scene.view, scene.state);
    r.Clear(kClearTarget | kClearDepth, 0x202040);
    r.Draw(d);
    r.EndFrame();
  }
  st.counters["fps"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FoggedTexturedFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
