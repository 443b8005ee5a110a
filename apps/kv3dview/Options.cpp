#include "Options.h"

#include <charconv>

namespace kv::viewer {

namespace {
bool ParseInt(const std::string& text, int& out) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end;
}

bool ParsePoint(const std::string& text, std::pair<int, int>& point) {
  const auto comma = text.find(',');
  return comma != std::string::npos && ParseInt(text.substr(0, comma), point.first) &&
         ParseInt(text.substr(comma + 1), point.second);
}

bool ParseSize(const std::string& text, int& width, int& height) {
  const auto x = text.find_first_of("xX");
  return x != std::string::npos && ParseInt(text.substr(0, x), width) && ParseInt(text.substr(x + 1), height) &&
         width > 0 && height > 0;
}
}  // namespace

const char* UsageText() {
  return "usage: kv3dview [FILE] [options]\n"
         "  Shows a Korvane 3D form file or a DirectX mesh file (.x, any encoding), or\n"
         "  the built-in demo when no file is given, in a window until it is closed or\n"
         "  Esc (or Ctrl-C) is pressed. Drag with the left mouse button to orbit, turn\n"
         "  the wheel to zoom, hold the arrow keys to move; F1 shows the frame rate.\n"
         "  Without a display it draws off screen.\n"
         "options:\n"
         "  --headless          draw off screen, with no window\n"
         "  --frames N          draw exactly N frames (each advancing the scene by the\n"
         "                      view's RenderDelta), then end; off screen 90 unless given\n"
         "  --screenshot FILE   write the last frame as PNG (off screen it is always\n"
         "                      written: demo.png, or NAME.png for NAME.kvf or NAME.x)\n"
         "  --save-form FILE    write the form back at the end\n"
         "  --size WxH          size of the view's form\n"
         "  --fps               print the frame rate at the end (off screen: as fast as\n"
         "                      the frames are drawn, with no wait for a vertical blank)\n"
         "  --list-modes        print the full-screen display modes and end\n"
         "  --full-screen MODE  show full screen in MODE, e.g. 800x600x32\n"
         "  --pick X,Y          after the last frame, print the objects under the view's\n"
         "                      client position X,Y with their layers (in a window,\n"
         "                      clicking the view prints them too)\n"
         "  --driver hal|rgb    draw with the OpenGL device (hal; on any renderer) or the\n"
         "                      software rasterizer (rgb); as KV_DRIVER does. Without\n"
         "                      it the OpenGL device is used only on a hardware GPU.\n"
         "                      With --fps the driver drawn with is printed too\n"
         "  --help              show this text\n"
         "  --version           show the version of the viewer and the package\n";
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--headless") {
      options.headless = true;
    } else if (arg == "--fps") {
      options.printFps = true;
    } else if (arg == "--list-modes") {
      options.listModes = true;
    } else if (arg == "--frames") {
      int n = 0;
      if (!value(text)) return std::nullopt;
      if (!ParseInt(text, n) || n < 0) {
        error = "--frames needs a count of 0 or more, not \"" + text + "\"";
        return std::nullopt;
      }
      options.frames = n;
    } else if (arg == "--screenshot") {
      if (!value(options.screenshot)) return std::nullopt;
    } else if (arg == "--save-form") {
      if (!value(options.saveForm)) return std::nullopt;
    } else if (arg == "--full-screen") {
      if (!value(options.fullScreenMode)) return std::nullopt;
    } else if (arg == "--pick") {
      std::pair<int, int> point;
      if (!value(text)) return std::nullopt;
      if (!ParsePoint(text, point)) {
        error = "--pick needs X,Y, not \"" + text + "\"";
        return std::nullopt;
      }
      options.pick = point;
    } else if (arg == "--driver") {
      if (!value(options.driver)) return std::nullopt;
      if (options.driver != "hal" && options.driver != "rgb") {
        error = "--driver needs hal or rgb, not \"" + options.driver + "\"";
        return std::nullopt;
      }
    } else if (arg == "--size") {
      if (!value(text)) return std::nullopt;
      if (!ParseSize(text, options.width, options.height)) {
        error = "--size needs WIDTHxHEIGHT, not \"" + text + "\"";
        return std::nullopt;
      }
    } else if (!arg.empty() && arg[0] == '-') {
      error = "unknown option " + arg;
      return std::nullopt;
    } else if (options.formFile.empty()) {
      options.formFile = arg;
    } else {
      error = "more than one form file given";
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace kv::viewer
