// kv3dview: shows a Korvane 3D form file. Until the view component exists it
// only explains how it will be used.
#include <cstdio>
#include <cstring>

namespace {
void PrintUsage() {
  std::puts(
      "usage: kv3dview [FORM] [options]\n"
      "  Shows a Korvane 3D form file, or the built-in demo when no form is given.\n"
      "options:\n"
      "  --headless          draw off screen, with no window\n"
      "  --frames N          draw exactly N frames, then end\n"
      "  --screenshot FILE   write the last frame as PNG\n"
      "  --help              show this text\n"
      "The view component is not built yet: nothing is drawn.");
}
}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0) {
      PrintUsage();
      return 0;
    }
  PrintUsage();
  return 0;
}
