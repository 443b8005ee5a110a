// kvbench --xload [--runs N] FILE...: median load time of each mesh file,
// one line per file: korvane,file,runs,median_us,vertices,faces (FAIL in
// place of the median when the load fails). With Assimp available, a second
// line per file, assimp,..., measured the same way.
#include "kvbench/XLoad.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "korvane3d/rm/xfile/XFile.h"

#ifdef KV_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

using namespace kv;
#endif

namespace kvbench {
namespace {

struct Counts {
  std::size_t vertices = 0, faces = 0;
};

// Runs load `runs` times; prints the line; a failed load prints FAIL.
void Measure(const char* who, const char* file, int runs, const std::function<bool(Counts&)>& load) {
  std::vector<double> micros;
  Counts counts;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = load(counts);
    const auto stop = std::chrono::steady_clock::now();
    if (!ok) {
      std::printf("%s,%s,%d,FAIL,0,0\n", who, file, runs);
      return;
    }
    micros.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
  }
  std::sort(micros.begin(), micros.end());
  const std::size_t n = micros.size();
  const double median = n % 2 ? micros[n / 2] : (micros[n / 2 - 1] + micros[n / 2]) / 2;
  std::printf("%s,%s,%d,%.0f,%zu,%zu\n", who, file, runs, median, counts.vertices, counts.faces);
}

bool LoadKorvane(const char* file, Counts& counts) {
  kv::xfile::MeshData mesh;
  const kv::xfile::Result result = kv::xfile::LoadFile(file, mesh);
  if (!result) {
    std::fprintf(stderr, "kvbench: %s: %s\n", file, result.message.c_str());
    return false;
  }
  counts = {mesh.positions.size(), mesh.faceSizes.size()};
  return true;
}

#ifdef KV_HAVE_ASSIMP
bool LoadAssimp(const char* file, Counts& counts) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(file, 0);
  if (!scene) return false;
  counts = {};
  for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
    counts.vertices += scene->mMeshes[i]->mNumVertices;
    counts.faces += scene->mMeshes[i]->mNumFaces;
  }
  return true;
}
#endif

}  // namespace

int RunXLoad(int argc, char** argv) {
  int runs = 5;
  std::vector<const char*> files;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
      if (runs < 1) {
        std::fputs("kvbench --xload: --runs needs a positive count\n", stderr);
        return 2;
      }
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.empty()) {
    std::fputs("usage: kvbench --xload [--runs N] FILE...\n", stderr);
    return 2;
  }
  int status = 0;
  for (const char* file : files) {
    bool ok = true;
    Measure("korvane", file, runs, [&](Counts& c) { return ok = LoadKorvane(file, c); });
    if (!ok) status = 1;
#ifdef KV_HAVE_ASSIMP
    Measure("assimp", file, runs, [&](Counts& c) { return LoadAssimp(file, c); });
#endif
  }
  return status;
}

}  // namespace kvbench
