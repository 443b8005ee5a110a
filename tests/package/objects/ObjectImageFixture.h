// Shared by the visual-object picture tests: a form read from text on the
// headless platform, its view rendered and read back, and the comparison
// with a stored picture in ref/. A pixel may differ by at most kMaxChannel
// in any channel and the whole picture by kMeanChannel on average (another
// compiler or the vector pixel code may round a few pixels differently). A
// failing comparison writes the actual picture and a difference picture
// (differences times 8) into <build>/objects-ref/.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/rm/image/Image.h"
#include "package/view/ViewFixture.h"
#include "support/ReferenceImage.h"

namespace kvtest {

using namespace kv;

// The text of a 160x120 form with a 128x96 view, View1, of Scene1 (its
// background colour `background`) through Camera1 (with the property
// lines `camera`), then `objects`; `viewSettings` adds lines to the view.
inline std::string PictureForm(const std::string& background, const std::string& camera,
                               const std::string& objects, const std::string& viewSettings = "") {
  return "object Form1: TForm\n  Width = 160\n  Height = 120\n"
         "  object View1: TKV3DView\n    Left = 0\n    Top = 0\n    Width = 128\n    Height = 96\n"
         "    Scene = Scene1\n    Camera = Camera1\n" +
         viewSettings + "  end\n  object Scene1: TKV3DScene\n    BackgroundColor = " + background +
         "\n  end\n  object Camera1: TKV3DCamera\n    ParentFrame = Scene1\n" + camera + "  end\n" + objects +
         "end\n";
}

class ObjectImage : public ::testing::Test {
 protected:
  static constexpr int kMaxChannel = 16;
  static constexpr double kMeanChannel = 0.5;

  void SetUp() override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    kv::ddraw::ResetHeadlessDisplay();
    ResetSharedRuntime();
    Register();
  }
  void TearDown() override {
    root.reset();
    ResetSharedRuntime();
    kv::ddraw::ResetHeadlessDisplay();
  }

  static std::filesystem::path OutDir() { return std::filesystem::path(KV_BINARY_DIR) / "objects-ref"; }

  // Reads the form (which has a view named View1), shows it and waits for
  // the view's device; false (with a test failure) when something is missing.
  bool Load(const std::string& text) {
    root = ReadComponentText(text, "picture.kvf");
    EXPECT_NE(root, nullptr) << LastErrorText();
    if (!root) return false;
    view = dynamic_cast<TKV3DView*>(root->FindComponent("View1"));
    EXPECT_NE(view, nullptr);
    if (view == nullptr) return false;
    static_cast<TForm*>(root.get())->Show();
    EXPECT_TRUE(WaitForChange(view));
    EXPECT_NE(view->GetIDirect3DRMViewport2(), nullptr);
    return view->GetIDirect3DRMViewport2() != nullptr;
  }

  template <class T = TKV3DObject>
  T* Find(const char* name) const {
    auto* found = dynamic_cast<T*>(root->FindComponent(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  // One frame drawn and read back from the view's window (0xFFRRGGBB).
  kv::image::Image Render() const {
    EXPECT_FALSE(view->Render());
    const kv::ddraw::PixelImage shown = kv::ddraw::ReadWindowPixels(view->Handle());
    kv::image::Image img;
    img.width = shown.width;
    img.height = shown.height;
    img.pixels.reserve(shown.pixels.size());
    for (std::uint32_t p : shown.pixels) img.pixels.push_back(0xFF000000u | p);
    return img;
  }

  static void CompareWithReference(const kv::image::Image& actual, const std::string& name) {
    CompareWithReferencePng(actual,
                            std::filesystem::path(KV_SOURCE_DIR) / "tests/package/objects/ref" / (name + ".png"),
                            OutDir(), {kMaxChannel, kMeanChannel});
  }

  std::unique_ptr<TComponent> root;
  TKV3DView* view = nullptr;  // owned by root
};

}  // namespace kvtest
