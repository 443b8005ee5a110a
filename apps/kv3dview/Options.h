// The viewer's command line.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kv::viewer {

struct Options {
  std::string formFile;  // empty: the built-in demo
  bool headless = false;
  std::optional<int> frames;  // exactly this many frames, then end
  std::string screenshot;     // PNG of the last frame
  std::string saveForm;       // the form written back at the end
  int width = 0;              // --size; 0 keeps the form's
  int height = 0;
  bool printFps = false;
  bool listModes = false;
  std::string fullScreenMode;  // e.g. "800x600x32"
  std::optional<std::pair<int, int>> pick;  // client position picked after the last frame
  std::string driver;  // --driver: "hal" or "rgb"; empty: the view chooses
  bool help = false;
  bool version = false;
};

// Parses the arguments after the program name. On a mistake returns
// nothing and sets `error`.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);
const char* UsageText();

}  // namespace kv::viewer
