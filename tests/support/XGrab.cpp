#include "support/XGrab.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace kvtest {

namespace {

// The position of the lowest set bit and the width of a colour mask, to
// scale each channel of a pixel to eight bits.
struct Channel {
  int shift = 0;
  int bits = 0;
  explicit Channel(unsigned long mask) {
    if (mask == 0) return;
    while ((mask & 1u) == 0) {
      mask >>= 1;
      ++shift;
    }
    while ((mask & 1u) != 0) {
      mask >>= 1;
      ++bits;
    }
  }
  std::uint32_t Eight(unsigned long pixel) const {
    if (bits == 0) return 0;
    const unsigned long value = (pixel >> shift) & ((1ul << bits) - 1);
    return static_cast<std::uint32_t>(bits >= 8 ? value >> (bits - 8) : value * 255 / ((1ul << bits) - 1));
  }
};

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
struct ImageDestroyer {
  void operator()(XImage* image) const { XDestroyImage(image); }
};

}  // namespace

std::optional<unsigned long> XWindowOfSdlWindow(void* sdlWindow) {
  if (sdlWindow == nullptr) return std::nullopt;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(static_cast<SDL_Window*>(sdlWindow), &info) != SDL_TRUE) return std::nullopt;
  if (info.subsystem != SDL_SYSWM_X11) return std::nullopt;
  return static_cast<unsigned long>(info.info.x11.window);
}

XPixels GrabXWindow(unsigned long window, int x, int y, int width, int height) {
  XPixels result;
  std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
  if (!display) {
    result.error = "cannot open the X display";
    return result;
  }
  // The program's own requests (drawing, mapping) reach the server first.
  XSync(display.get(), False);
  const Window target = window != 0 ? window : DefaultRootWindow(display.get());
  std::unique_ptr<XImage, ImageDestroyer> image(XGetImage(display.get(), target, x, y, static_cast<unsigned>(width),
                                                          static_cast<unsigned>(height), AllPlanes, ZPixmap));
  if (!image) {
    result.error = "XGetImage failed (window unmapped or rectangle outside it)";
    return result;
  }
  const Channel red(image->red_mask), green(image->green_mask), blue(image->blue_mask);
  if (red.bits == 0 || green.bits == 0 || blue.bits == 0) {
    result.error = "the window's visual is not TrueColor";
    return result;
  }
  result.width = width;
  result.height = height;
  result.pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const unsigned long pixel = XGetPixel(image.get(), column, row);
      result.pixels.push_back(red.Eight(pixel) << 16 | green.Eight(pixel) << 8 | blue.Eight(pixel));
    }
  }
  return result;
}

}  // namespace kvtest
