// kv3dview: shows a Korvane 3D form file (or the built-in demo) in a window,
// or draws it off screen for a number of frames.
#include <cstdio>
#include <string>
#include <vector>

#include "Options.h"
#include "Run.h"

using namespace kv;

int main(int argc, char** argv) {
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
  return kv::viewer::Run(*options);
}
