// What an application asks of a shown view outside the frame steps: waiting
// until its device chain is built, and saving what it drew as a picture.
#include <chrono>

#include "korvane3d/host/Application.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/Link.h"
#include "korvane3d/platform/ddraw/VirtualMonitor.h"
#include "korvane3d/rm/image/Image.h"
#include "korvane3d/view/Kv3dview.h"
#include "korvane3d/view/Kv3dviewloop.h"

namespace kv {

bool TKV3DView::WaitUntilReady(std::chrono::milliseconds timeout) {
  if (renderLoop_ && !renderLoop_->Ready()) {
    // Only the main thread builds the chain; waiting elsewhere would wait
    // for ever.
    if (!Application().IsMainThread()) return Fail("WaitUntilReady is for the main thread");
    // The tasks served meanwhile may run handlers (input polls): one of
    // them may free the view.
    const Link<TKV3DView> self(this);
    const bool ready = Application().Queue().ServeUntil(
        [&] { return !self || renderLoop_->Ready(); }, std::chrono::steady_clock::now() + timeout);
    if (!self) return false;
    if (!ready) return Fail("the view's device was not ready in time");
  }
  if (chain_->Device() == nullptr) return Fail("the view has no device (see LastDXResult)");
  return true;
}

bool TKV3DView::SaveFrameToPNG(const std::string& fileName) {
  const ddraw::PixelImage shown =
      FullScreen() ? ddraw::ReadScreenPixels() : ddraw::ReadSurfacePixels(chain_->Back());
  if (shown.width == 0 || shown.height == 0) return Fail("the view has drawn nothing to save");
  image::Image picture;
  picture.width = shown.width;
  picture.height = shown.height;
  picture.pixels.reserve(shown.pixels.size());
  for (std::uint32_t p : shown.pixels) picture.pixels.push_back(0xFF000000u | p);
  // Replaced as one step: a full disk or a kill leaves the old file whole.
  if (const image::Result saved = image::SavePng(fileName, picture); !saved) return Fail(saved.message);
  return true;
}

}  // namespace kv
