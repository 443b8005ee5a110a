// Load and save throughput of a generated mesh of about a million vertices
// with normals and texture coordinates, in each encoding: in memory, and
// loaded from a file.
//   build-*/bin/bench_xfile [--benchmark_filter=Load]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "korvane3d/rm/xfile/SampleMesh.h"
#include "korvane3d/rm/xfile/XFile.h"

using namespace kv;

namespace {

using kv::xfile::Encoding;

const kv::xfile::MeshData& MillionVertexMesh() {
  static const kv::xfile::MeshData mesh = kv::xfile::MakeSphere(707, 1414);  // 708 * 1415 vertices
  return mesh;
}

kv::xfile::SaveOptions Options(std::int64_t encoding, std::int64_t floatBits) {
  kv::xfile::SaveOptions options;
  options.encoding = Encoding(encoding);
  options.floatBits = int(floatBits);
  return options;
}

void BM_Load(benchmark::State& state) {
  const std::vector<std::uint8_t> file = kv::xfile::Write(MillionVertexMesh(), Options(state.range(0), state.range(1)));
  for (auto _ : state) {
    kv::xfile::MeshData mesh;
    if (!kv::xfile::Parse(file, mesh)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(mesh.positions.data());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(file.size()));
  state.counters["file_MB"] = double(file.size()) / 1e6;
}

// The same through a file on disk (in the page cache after the first
// load): opening and reading the file included.
void BM_LoadFile(benchmark::State& state) {
  const std::vector<std::uint8_t> file = kv::xfile::Write(MillionVertexMesh(), Options(state.range(0), state.range(1)));
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("bench_xfile_" + std::to_string(::getpid()) + "_" + std::to_string(state.range(0)) +
                                      "_" + std::to_string(state.range(1)) + ".x");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  for (auto _ : state) {
    kv::xfile::MeshData mesh;
    if (!kv::xfile::LoadFile(path.string(), mesh)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(mesh.positions.data());
  }
  std::filesystem::remove(path);
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(file.size()));
}

void BM_Save(benchmark::State& state) {
  const kv::xfile::SaveOptions options = Options(state.range(0), state.range(1));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::vector<std::uint8_t> file = kv::xfile::Write(MillionVertexMesh(), options);
    bytes = file.size();
    benchmark::DoNotOptimize(file.data());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

// Encodings 0-3: text, binary, compressed text, compressed binary; then float bits.
void Encodings(benchmark::internal::Benchmark* b) {
  b->ArgNames({"encoding", "float_bits"});
  for (int encoding = 0; encoding < 4; ++encoding) b->Args({encoding, 32});
  b->Args({int(Encoding::Binary), 64});
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Load)->Apply(Encodings);
BENCHMARK(BM_LoadFile)->Apply(Encodings);
BENCHMARK(BM_Save)->Apply(Encodings);

}  // namespace
