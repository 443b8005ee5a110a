// Time of the shape generators on their own (no mesh builder): a tube of
// many corners, spheres and gridded cubes up to the largest accepted sizes.
//   build-*/bin/bench_shapes [--benchmark_filter=Sphere]
#include <benchmark/benchmark.h>

#include "korvane3d/objects/Kv3dshape.h"

using namespace kv;

namespace {

// Runs `shape`'s Create and reports vertices made per second.
void Generate(benchmark::State& state, kv::TKV3DShape& shape) {
  std::size_t vertices = 0;
  for (auto _ : state) {
    shape.Create();
    vertices = shape.Face() != nullptr ? shape.Face()->VertexCount() : 0;
    benchmark::DoNotOptimize(shape.Face());
  }
  state.counters["vertices"] = double(vertices);
  state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(vertices));
}

void BM_PrismTube(benchmark::State& state) {
  kv::TKV3DPrism prism(nullptr);
  prism.SetVertices(std::int32_t(state.range(0)));
  prism.SetDepth(1);
  prism.SetAperture(0.5f);
  Generate(state, prism);
}
BENCHMARK(BM_PrismTube)->Arg(64)->Arg(4096)->Arg(65536)->Unit(benchmark::kMicrosecond);

void BM_Sphere(benchmark::State& state) {
  kv::TKV3DSphere sphere(nullptr);
  sphere.SetEdges(std::int32_t(state.range(0)));
  sphere.SetWalls(std::int32_t(state.range(0)));
  Generate(state, sphere);
}
BENCHMARK(BM_Sphere)->Arg(15)->Arg(128)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_Cube(benchmark::State& state) {
  kv::TKV3DCube cube(nullptr);
  cube.SetGrid(std::int32_t(state.range(0)));
  Generate(state, cube);
}
BENCHMARK(BM_Cube)->Arg(3)->Arg(64)->Arg(512)->Unit(benchmark::kMillisecond);

}  // namespace
