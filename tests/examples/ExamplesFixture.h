// Shared set-up of the example and demo tests: the headless platform, a
// fresh engine, and drawing a form's view for a number of frames.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "korvane3d/host/Application.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/ddraw/VirtualMonitor.h"
#include "korvane3d/platform/dinput/HeadlessInput.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/scene/Kv3dscene.h"
#include "support/MainThreadPump.h"
#include "korvane3d/view/Kv3dview.h"

namespace kvtest {

using namespace kv;

class ExampleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SelectBackend(platform::BackendKind::Headless);
    ddraw::ResetHeadlessDisplay();
    dinput::HeadlessInput::Reset();
    ResetSharedRuntime();
    platform::ClearRecordedMessageBoxes();
    Register();
  }
  void TearDown() override {
    form.reset();
    ResetSharedRuntime();
    ddraw::ResetHeadlessDisplay();
    dinput::HeadlessInput::Reset();
  }

  static bool PumpUntil(const std::function<bool()>& done) { return kvtest::PumpUntil(done); }

  // Shows the form held in `form` and readies its first view for counted
  // frames; null when the form has no view.
  TKV3DView* ShowForm() {
    auto* shown = dynamic_cast<TForm*>(form.get());
    if (shown == nullptr) return nullptr;
    TKV3DView* found = nullptr;
    for (int i = 0; i < shown->ComponentCount() && found == nullptr; ++i)
      found = dynamic_cast<TKV3DView*>(shown->Components(i));
    if (found == nullptr) return nullptr;
    found->SetAutoRender(false);
    shown->Show();
    EXPECT_TRUE(PumpUntil([found] { return !found->RenderLoop()->ChangePending(); }));
    return found;
  }

  static ddraw::PixelImage Draw(TKV3DView* view, int frames) {
    for (int i = 0; i < frames; ++i) {
      Application().ProcessMessages();
      view->Render();
    }
    return ddraw::ReadSurfacePixels(view->BackSurface());
  }

  // Share of the image's pixels that are not the scene's background.
  static double ShareNotBackground(const ddraw::PixelImage& image, TKV3DScene* scene) {
    if (image.pixels.empty()) return 0;
    const std::uint32_t background = ColorToD3DColor(scene->BackgroundColor());
    std::size_t other = 0;
    for (std::uint32_t p : image.pixels) other += (p & 0xFFFFFFu) != background ? 1 : 0;
    return double(other) / double(image.pixels.size());
  }

  std::unique_ptr<TComponent> form;
};

}  // namespace kvtest
