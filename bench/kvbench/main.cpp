// kvbench: renders the reference scenes, or times mesh-file loading.
//   kvbench <scene> <frames> [--warmup N] [--png FILE] [--peer-png FILE] [--no-peer]
//   kvbench --xload [--runs N] FILE...
#include <cstdio>
#include <cstring>

#include "kvbench/RenderBench.h"
#include "kvbench/XLoad.h"

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--xload") == 0) return kvbench::RunXLoad(argc - 2, argv + 2);
  if (argc >= 3) return kvbench::RunRenderBench(argc - 1, argv + 1);
  std::fputs("usage: kvbench <spheres|textured|fill|many> <frames> [--warmup N] [--png FILE]\n"
             "       kvbench --xload [--runs N] FILE...\n",
             stderr);
  return 2;
}
