// Where a window context's blits land in the window's default framebuffer.
// The window layer places things in window pixels, rows from the top; the
// default framebuffer has the drawable's pixels (more than the window's on
// high-DPI displays: Wayland or macOS scaling) and counts rows from the
// bottom. Pure arithmetic, so that it can be checked without a scaled
// display.
#pragma once

namespace kv::ddraw {

// A glBlitFramebuffer destination: y0 above y1 turns rows stored top first
// the right way up.
struct BlitArea {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool operator==(const BlitArea&) const = default;
};

class DrawablePlacement {
 public:
  // Sizes as SDL_GetWindowSize and SDL_GL_GetDrawableSize give them; a
  // window without size (not shown yet) maps 1:1.
  DrawablePlacement(int windowWidth, int windowHeight, int drawableWidth, int drawableHeight)
      : windowWidth_(windowWidth > 0 ? windowWidth : drawableWidth),
        windowHeight_(windowHeight > 0 ? windowHeight : drawableHeight),
        drawableWidth_(drawableWidth),
        drawableHeight_(drawableHeight) {}

  // Whether a window pixel is a drawable pixel: blits then keep their
  // pixels as they are (nearest); a scaled drawable smooths them (linear).
  bool OneToOne() const { return windowWidth_ == drawableWidth_ && windowHeight_ == drawableHeight_; }

  // The drawable's area for the window rectangle at (x, y), width x height.
  // Edges are scaled and rounded each on its own, so rectangles that touch
  // in the window still touch in the drawable.
  BlitArea Map(int x, int y, int width, int height) const {
    return BlitArea{Scale(x, drawableWidth_, windowWidth_), drawableHeight_ - Scale(y, drawableHeight_, windowHeight_),
                    Scale(x + width, drawableWidth_, windowWidth_),
                    drawableHeight_ - Scale(y + height, drawableHeight_, windowHeight_)};
  }

 private:
  // v * to / from, rounded to the nearest pixel (halves away from zero).
  static int Scale(int v, int to, int from) {
    if (from <= 0 || to == from) return v;
    const long long n = static_cast<long long>(v) * to;
    const long long half = from / 2;
    return static_cast<int>(n >= 0 ? (n + half) / from : -((-n + half) / from));
  }

  int windowWidth_, windowHeight_, drawableWidth_, drawableHeight_;
};

}  // namespace kv::ddraw
