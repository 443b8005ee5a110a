// kv3dview: shows a Korvane 3D form file, a mesh file or the built-in demo
// in a window, or draws it off screen for a number of frames.
#include <cstdio>
#include <string>
#include <vector>

#include "Options.h"
#include "Run.h"
#include "StopSignals.h"
#include "korvane3d/Version.h"

using namespace kv;

int main(int argc, char** argv) {
  // Before any thread starts, so that all of them leave Ctrl-C to ours.
  kv::viewer::BlockStopSignals();
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto options = kv::viewer::ParseOptions(args, error);
  if (!options) {
    std::fprintf(stderr, "kv3dview: %s\n%s", error.c_str(), kv::viewer::UsageText());
    return 2;
  }
  if (options->help) {
    std::fputs(kv::viewer::UsageText(), stdout);
    return 0;
  }
  if (options->version) {
    std::printf("kv3dview %s (Korvane 3D)\n", kv::Version());
    return 0;
  }
  return kv::viewer::Run(*options);
}
