// Finding the touching pairs among 10,000 boxes of which 1% touch (50 pairs
// sharing a face, the rest apart on a spaced grid in random order): the
// view's CollisionChecking over 10,000 visual objects laid out so, and the
// pair finder alone, its uniform grid against the test of every pair.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "ViewBenchSupport.h"
#include "korvane3d/view/CollisionSweep.h"

using namespace kv;

namespace {

std::vector<kv::CollisionBox> SparseBoxes(int count, int touchingPairs) {
  // Cells 3 units apart on a cube grid, unit boxes: no two touch.
  int side = 1;
  while (side * side * side < count) ++side;
  std::vector<int> cells(static_cast<std::size_t>(side * side * side));
  for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<int>(i);
  std::mt19937 rng(3);
  std::shuffle(cells.begin(), cells.end(), rng);
  std::vector<kv::CollisionBox> boxes;
  for (int i = 0; i < count; ++i) {
    const int c = cells[static_cast<std::size_t>(i)];
    const float x = 3.0f * static_cast<float>(c % side), y = 3.0f * static_cast<float>(c / side % side),
                z = 3.0f * static_cast<float>(c / side / side);
    boxes.push_back({{x, y, z}, {x + 1, y + 1, z + 1}});
  }
  // Every other one of the first 2 * touchingPairs boxes moves against its neighbour's face.
  for (int p = 0; p < touchingPairs; ++p) {
    const kv::CollisionBox& a = boxes[static_cast<std::size_t>(2 * p)];
    kv::CollisionBox& b = boxes[static_cast<std::size_t>(2 * p + 1)];
    b = {{a.max[0], a.min[1], a.min[2]}, {a.max[0] + 1, a.max[1], a.max[2]}};
  }
  return boxes;
}

template <class Find>
void FindPairs(benchmark::State& state, Find find) {
  const std::vector<kv::CollisionBox> boxes = SparseBoxes(10000, 50);
  std::size_t pairs = 0;
  for (auto _ : state) {
    const std::vector<kv::CollisionPair>& found = find(boxes);
    pairs = found.size();
    benchmark::DoNotOptimize(found.data());
  }
  state.counters["pairs"] = static_cast<double>(pairs);
}

// The finder kept from pass to pass, as the view keeps it.
void BM_TouchingPairsGrid(benchmark::State& state) {
  kv::TouchingPairFinder finder;
  FindPairs(state, [&](const std::vector<kv::CollisionBox>& b) -> const auto& { return finder.Find(b); });
}

void BM_TouchingPairsAllPairs(benchmark::State& state) {
  std::vector<kv::CollisionPair> found;
  FindPairs(state, [&](const std::vector<kv::CollisionBox>& b) -> const auto& {
    return found = kv::FindTouchingPairsByTestingAll(b);
  });
}

// One collision pass of the view: the boxes of 10,000 unit cubes read from
// their frames, the pairs found and each reported to both objects.
void BM_CollisionChecking(benchmark::State& state) {
  kvbench::ViewBench bench;
  if (!bench.Build(64, 48)) {
    state.SkipWithError("no viewport");
    return;
  }
  // Unit cubes centred where the unit boxes above start.
  std::size_t reports = 0;
  for (const kv::CollisionBox& box : SparseBoxes(10000, 50)) {
    kv::TKV3DObject* object = bench.Place(box.min[0] + 0.5f, box.min[1] + 0.5f, box.min[2] + 0.5f, false);
    object->SetCheckCollision(true);
    object->OnCollision = [&reports](kv::TObject*, kv::TObject*) { ++reports; };
  }
  for (auto _ : state) bench.view->CollisionChecking();
  state.counters["reports/pass"] =
      benchmark::Counter(static_cast<double>(reports) / static_cast<double>(state.iterations()));
}

}  // namespace

BENCHMARK(BM_CollisionChecking)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TouchingPairsGrid)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TouchingPairsAllPairs)->Unit(benchmark::kMillisecond);
