// Keeps the benchmark wiring honest until the real benchmarks arrive.
#include <benchmark/benchmark.h>

#include <vector>

static void BM_VectorFill(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<int> v(static_cast<size_t>(state.range(0)), 1);
    benchmark::DoNotOptimize(v.data());
  }
}
BENCHMARK(BM_VectorFill)->Arg(1024);
