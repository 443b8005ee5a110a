// The viewer's demo form (the one kv3dview shows without a form file) drawn
// off screen at the benchmark's size. A frame is what the viewer's counted
// run does per frame: serve the main thread's queue, then the view's
// Render (the OnFlip handler, the scene's Move, clear, render, the copy to
// the presented surface), without waiting for any vertical blank.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "DemoForm.h"
#include "korvane3d/host/Application.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/Forms.h"
#include "kvbench/Renderers.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/ddraw/VirtualMonitor.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/rm/Device.h"
#include "korvane3d/view/Kv3dview.h"

namespace kvbench {
namespace {

// Room around the window on the headless screen, so that the whole client
// area is presented.
constexpr int kScreenMargin = 256;

class DemoRenderer final : public SceneRenderer {
 public:
  explicit DemoRenderer(bool hardware) : hardware_(hardware) {}
  const char* Name() const override { return hardware_ ? "korvane-hal" : "korvane-view"; }

  bool Init(const BenchScene& scene) override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    if (hardware_) setenv("KV_DRIVER", "hal", 1);
    kv::platform::SetHeadlessScreenSize(std::max(1024, scene.width + kScreenMargin),
                                        std::max(768, scene.height + kScreenMargin));
    kv::ddraw::SetVerticalBlankWait(false);
    kv::Register();
    root_ = kv::viewer::ReadDemoForm();
    auto* form = dynamic_cast<kv::TForm*>(root_.get());
    if (!form) {
      std::fprintf(stderr, "korvane-view: cannot read the demo form: %s\n", kv::LastErrorText().c_str());
      return false;
    }
    for (int i = 0; i < form->ComponentCount() && !view_; ++i) view_ = dynamic_cast<kv::TKV3DView*>(form->Components(i));
    if (!view_) return false;
    view_->SetAutoRender(false);
    form->SetClientWidth(scene.width);
    form->SetClientHeight(scene.height);
    form->Show();
    // The view's loop builds the display chain on the main thread.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (view_->RenderLoop()->ChangePending() && std::chrono::steady_clock::now() < end) {
      kv::Application().ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!view_->GetIDirect3DRMDevice3() || !view_->BackSurface()) {
      std::fprintf(stderr, "korvane-view: the view has no device\n");
      return false;
    }
    if (hardware_ && view_->DriverType() != kv::dtHAL) {
      std::fprintf(stderr, "korvane-hal: the OpenGL device did not start\n");
      return false;
    }
    std::fprintf(stderr, "%s: demo at %dx%d\n", Name(), scene.width, scene.height);
    return true;
  }

  bool RenderFrame() override {
    kv::Application().ProcessMessages();
    view_->Render();
    return true;
  }

  void ReadImage(std::vector<std::uint32_t>& rgb) override {
    rgb = kv::ddraw::ReadSurfacePixels(view_->BackSurface()).pixels;
  }

  std::uint64_t TrianglesPerFrame() const override {
    kv::rm::Device* device = kv::rm::Device::From(view_->GetIDirect3DRMDevice3());
    return device ? device->LastFrameStats().triangles : 0;
  }

 private:
  bool hardware_;
  std::unique_ptr<kv::TComponent> root_;
  kv::TKV3DView* view_ = nullptr;
};

}  // namespace

std::unique_ptr<SceneRenderer> MakeDemoRenderer(bool hardware) { return std::make_unique<DemoRenderer>(hardware); }

}  // namespace kvbench
