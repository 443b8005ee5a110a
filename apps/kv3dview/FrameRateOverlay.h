// The frame rate written over the view's picture while switched on (F1 in
// the viewer). It draws through the view's OnDrawFrontGDI event, after the
// form's own handler if it has one, so it lies over the 3D image and is in
// every presented frame and screenshot. Under automatic rendering the event
// runs on the view's loop thread: the switch is atomic, the count is
// touched by that one thread only.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>

#include "korvane3d/view/Kv3dview.h"

namespace kv::viewer {

class FrameRateOverlay {
 public:
  // Hooks the view's OnDrawFrontGDI; starts switched off.
  explicit FrameRateOverlay(TKV3DView& view);
  // Gives the view its own handler back (main thread). A frame the loop
  // thread is still drawing may call the overlay's handler after that; it
  // keeps what it draws with alive.
  ~FrameRateOverlay();
  FrameRateOverlay(const FrameRateOverlay&) = delete;
  FrameRateOverlay& operator=(const FrameRateOverlay&) = delete;

  void Toggle() { drawing_->shown = !drawing_->shown; }
  bool Shown() const { return drawing_->shown; }

 private:
  struct Drawing {
    TGDIEvent formsOwn;
    std::atomic<bool> shown{false};
    // Frames counted since `since`; the rate shown is refreshed twice a
    // second.
    int frames = 0;
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
    double rate = 0;

    void Draw(HDC dc);
  };

  TKV3DView& view_;
  std::shared_ptr<Drawing> drawing_ = std::make_shared<Drawing>();
};

}  // namespace kv::viewer
