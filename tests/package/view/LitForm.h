// Forms the view tests read from text: finding the view, showing the form
// until its chain is built, and a lit sphere's form that real-window tests
// of the OpenGL device compare with the software device's headless render
// (GlOnXServer).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "korvane3d/host/FormStream.h"
#include "korvane3d/platform/ddraw/GlContext.h"
#include "korvane3d/platform/ddraw/VirtualMonitor.h"
#include "support/GlDevice.h"
#include "support/ReferenceImage.h"
#include "support/XServer.h"
#include "ViewFixture.h"

namespace kvtest {

inline TKV3DView* FindView(TComponent* root) {
  for (int i = 0; i < root->ComponentCount(); ++i)
    if (auto* v = dynamic_cast<TKV3DView*>(root->Components(i))) return v;
  return nullptr;
}

// Reads the form, shows it and waits for the view's chain.
inline std::unique_ptr<TComponent> ShowForm(const char* text, TKV3DView*& view) {
  Register();
  std::unique_ptr<TComponent> root = ReadComponentText(text, "view.kvf");
  if (!root) return root;
  view = FindView(root.get());
  static_cast<TForm*>(root.get())->Show();
  WaitForChange(view);
  return root;
}

// A lit sphere before a background colour, the view at (12, 8) of the form.
inline const char* const kLitObjectForm = R"(object Form1: TForm
  Left = 30
  Top = 40
  Width = 160
  Height = 120
  object View1: TKV3DView
    Left = 12
    Top = 8
    Width = 96
    Height = 64
    Scene = Scene1
    Camera = Camera1
  end
  object Scene1: TKV3DScene
    BackgroundColor = $00804020
  end
  object Camera1: TKV3DCamera
    ParentFrame = Scene1
  end
  object Light1: TKV3DLight
    ParentFrame = Scene1
    Orientation.DirX = 0.5
    Orientation.DirY = -0.5
    Orientation.DirZ = 1.0
    Orientation.UpY = 1.0
  end
  object Ball: TKV3DObject
    ParentFrame = Scene1
    Position.Z = 6.0
    Color = $0040C0F0
    Mesh.ActiveShape = stSphere
  end
end
)";

// Both renders use the same rasterizer; the tolerance covers only a
// conversion through another pixel format on the way to the screen.
inline constexpr int kChannelTolerance = 4;

inline int ChannelDistance(std::uint32_t a, std::uint32_t b) {
  int worst = 0;
  for (int shift : {0, 8, 16}) {
    const int d = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    worst = std::max(worst, d);
  }
  return worst;
}

// Shows the form in the current backend and draws one frame.
inline std::unique_ptr<TComponent> ShowAndRender(TKV3DView*& view) {
  std::unique_ptr<TComponent> root = ShowForm(kLitObjectForm, view);
  if (!root || view == nullptr) return root;
  view->Render();
  PumpFor(std::chrono::milliseconds(100));  // the window system catches up
  return root;
}
// A read-back as an image (opaque pixels).
inline kv::image::Image Opaque(const kv::ddraw::PixelImage& pixels) {
  kv::image::Image image;
  image.width = pixels.width;
  image.height = pixels.height;
  image.pixels.reserve(pixels.pixels.size());
  for (std::uint32_t p : pixels.pixels) image.pixels.push_back(0xFF000000u | p);
  return image;
}

// What the OpenGL device shows against the software device's render of the
// same form; a picture that differs is kept in the build's window-pictures
// folder as name. Measured on llvmpipe in a 96x64 view: at most 2 in a
// channel, mean 0.006.
inline void ExpectShowsRender(const kv::image::Image& actual, const kv::image::Image& expected,
                              const std::string& name, ImageTolerance tolerance = {16, 0.25}) {
  const std::string reference =
      (std::filesystem::temp_directory_path() / ("kv-gl-window-" + std::to_string(::getpid()) + ".png")).string();
  ASSERT_TRUE(kv::image::SavePng(reference, expected));
  CompareWithReferencePng(actual, reference, std::filesystem::path(KV_BINARY_DIR) / "window-pictures", tolerance,
                          name);
  std::filesystem::remove(reference);
}

// Real-window tests of the OpenGL device: the software device's headless
// render of what the test shows first (RenderExpected), then SDL on a
// private X server of the given size, with the OpenGL device asked for.
// Skips without Xvfb or SDL video, and without OpenGL unless KV_REQUIRE_GL.
class GlOnXServer : public ::testing::Test {
 protected:
  GlOnXServer(int width, int height) : x_(width, height) {}

  // Sets expected_, on the headless backend with the software device.
  virtual void RenderExpected() = 0;

  void SetUp() override {
    if (!x_.Available()) GTEST_SKIP() << x_.Reason();
    std::string why;
    if (!kv::ddraw::GlContext::CreateOffscreen(why)) KV_SKIP_NO_GL("no OpenGL device here (" + why + ")");
    ResetSharedRuntime();
    RenderExpected();
    ResetSharedRuntime();
    if (HasFatalFailure()) return;
    if (kv::platform::SelectBackend(kv::platform::BackendKind::Sdl) != kv::platform::BackendKind::Sdl)
      GTEST_SKIP() << "SDL video did not start on this display";
    ResetSharedRuntime();
    setenv("KV_DRIVER", "hal", 1);
    selected_ = true;
  }

  void TearDown() override {
    if (!selected_) return;
    unsetenv("KV_DRIVER");
    kv::ddraw::GlContext::FailWindowContexts(0);
    kv::ddraw::GlContext::LoseNextWindowContextUse(false);
    ResetSharedRuntime();
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
  }

  // Loses the view's window context at its next use: the frame is not
  // presented, the view reports one DDERR_SURFACELOST, builds its chain
  // again and presents the next frame on the GL device.
  static void LoseTheContextAndRecover(TKV3DView* view) {
    std::vector<HRESULT> errors;
    view->OnFlipError = [&](TObject*, HRESULT error) { errors.push_back(error); };
    kv::ddraw::GlContext::LoseNextWindowContextUse();
    EXPECT_TRUE(view->Render());  // nothing presented
    EXPECT_EQ(errors, std::vector<HRESULT>{DDERR_SURFACELOST});
    EXPECT_TRUE(WaitForChange(view));  // built again
    EXPECT_FALSE(view->Render());
    PumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(view->DriverType(), dtHAL);
    view->OnFlipError = nullptr;
  }

  XServer x_;
  kv::image::Image expected_;

 private:
  bool selected_ = false;
};

}  // namespace kvtest
