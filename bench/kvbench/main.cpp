// kvbench: renders the reference scenes or the viewer's demo, or times
// mesh-file loading.
//   kvbench <scene> <frames> [--warmup N] [--size WxH] [--png FILE] [--peer-png FILE] [--no-peer] [--header]
//   kvbench --header
//   kvbench --xload [--runs N] FILE...
//   kvbench --help | --version
#include <cstdio>
#include <cstring>

#include "korvane3d/Version.h"
#include "kvbench/RenderBench.h"
#include "kvbench/XLoad.h"

namespace {
constexpr const char* kUsage =
    "usage: kvbench <spheres|textured|fill|many|demo> <frames> [--warmup N] [--size WxH] [--png FILE]\n"
    "       kvbench --header\n"
    "       kvbench --xload [--runs N] FILE...\n"
    "       kvbench --help | --version\n";
}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("kvbench %s (Korvane 3D)\n", kv::Version());
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--xload") == 0) return kvbench::RunXLoad(argc - 2, argv + 2);
  if (argc >= 3 || (argc == 2 && std::strcmp(argv[1], "--header") == 0))
    return kvbench::RunRenderBench(argc - 1, argv + 1);
  std::fputs(kUsage, stderr);
  return 2;
}
