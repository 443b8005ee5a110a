// The view's choice of driver (KV_DRIVER, the renderer found, the fall-back
// to the software device) and the same scene through both devices: the
// pictures agree within the image tolerance and picking answers alike.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "ObjectViewFixture.h"
#include "korvane3d/platform/ddraw/GlContext.h"
#include "korvane3d/rm/Device.h"
#include "korvane3d/rm/image/Image.h"
#include "support/GlDevice.h"
#include "support/ReferenceImage.h"

namespace kvtest {
namespace {

namespace fs = std::filesystem;

// Sets KV_DRIVER for the scope (unset when value is null) and restores it.
class DriverVariable {
 public:
  explicit DriverVariable(const char* value) {
    if (const char* old = std::getenv("KV_DRIVER")) saved_ = old;
    if (value)
      setenv("KV_DRIVER", value, 1);
    else
      unsetenv("KV_DRIVER");
  }
  ~DriverVariable() {
    if (saved_)
      setenv("KV_DRIVER", saved_->c_str(), 1);
    else
      unsetenv("KV_DRIVER");
  }

 private:
  std::optional<std::string> saved_;
};

bool GlAvailable() {
  std::string why;
  return kv::ddraw::GlContext::CreateOffscreen(why) != nullptr;
}

bool DrawsWithGl(TKV3DView* view) {
  auto* device = kv::rm::Device::From(view->GetIDirect3DRMDevice3());
  return device != nullptr && device->DrawsWithGl();
}

class DriverTest : public ObjectViewTest {
 protected:
  // Objects of each shape, lit, with one behind another at the centre.
  void Populate() {
    Place("Near", 0, 0, 6, stCube);
    Place("Far", 0.5f, 0.3f, 12, stSphere);
    Place("Left", -3, -1, 9, stPrism);
    Place("Right", 3, 1, 8, stSphere);
  }
  // The view rebuilt for the driver KV_DRIVER now names.
  void Rebuild() {
    view->SetBounds(0, 0, 64, 49);
    view->SetBounds(0, 0, 64, 48);
    ASSERT_TRUE(WaitForChange(view));
  }
  std::string TempPath(const std::string& name) const {
    return (fs::temp_directory_path() / ("kv-driver-" + std::to_string(::getpid()) + "-" + name)).string();
  }
  kv::image::Image Picture(const std::string& name) {
    view->Render();
    const std::string file = TempPath(name);
    EXPECT_TRUE(view->SaveFrameToPNG(file));
    kv::image::Image picture;
    EXPECT_TRUE(kv::image::LoadImageFile(file, picture));
    fs::remove(file);
    return picture;
  }
  std::vector<std::string> PickNames(int x, int y) {
    view->GenPick(x, y);
    std::vector<std::string> names;
    for (TKV3DObject* o : view->PickedList()) names.push_back(o->Name());
    return names;
  }
};

TEST_F(DriverTest, ChoiceFollowsKvDriverAndTheRenderer) {
  {
    DriverVariable rgb("rgb");
    Rebuild();
    EXPECT_EQ(view->DriverType(), dtRGB);
    EXPECT_FALSE(DrawsWithGl(view));
  }
  {
    // Automatic: the GL device only on a hardware renderer (never llvmpipe).
    DriverVariable automatic(nullptr);
    Rebuild();
    EXPECT_EQ(view->DriverType(), kv::ddraw::HardwareDeviceOffered() ? dtHAL : dtRGB)
        << "renderer: " << kv::ddraw::ProbedRenderer();
    std::string why;
    auto context = kv::ddraw::GlContext::CreateOffscreen(why);
    if (context && !context->IsHardware()) {
      EXPECT_EQ(view->DriverType(), dtRGB) << context->Renderer();
    }
  }
  {
    // Asked for: the GL device wherever GL starts, else quietly the software one.
    DriverVariable hal("hal");
    Rebuild();
    const bool gl = GlAvailable();
    EXPECT_EQ(view->DriverType(), gl ? dtHAL : dtRGB);
    EXPECT_EQ(DrawsWithGl(view), gl);
  }
  EXPECT_TRUE(kv::platform::RecordedMessageBoxes().empty());
}

TEST_F(DriverTest, BothDevicesDrawTheScenesAlikeAndPickTheSame) {
  if (!GlAvailable()) KV_SKIP_NO_GL("no OpenGL device here (no EGL display or GL 3.3 context)");
  Populate();
  const std::vector<std::pair<int, int>> points = {{32, 24}, {10, 30}, {52, 18}, {2, 2}};
  std::vector<std::vector<std::string>> picked[2];
  for (const char* driver : {"rgb", "hal"}) {
    DriverVariable chosen(driver);
    Rebuild();
    const bool hal = std::string(driver) == "hal";
    ASSERT_EQ(view->DriverType(), hal ? dtHAL : dtRGB);
    ASSERT_EQ(DrawsWithGl(view), hal);
    const kv::image::Image picture = Picture(std::string(driver) + ".png");
    if (!hal) {
      ASSERT_TRUE(kv::image::SavePng(TempPath("reference.png"), picture));
    } else {
      // llvmpipe against the software device: a few edge pixels differ a
      // little (measured: at most 9 in a channel, mean 0.02).
      CompareWithReferencePng(picture, TempPath("reference.png"),
                              fs::path(KV_BINARY_DIR) / "driver-pictures", {48, 0.5}, "view-hal");
      fs::remove(TempPath("reference.png"));
    }
    for (auto [x, y] : points) picked[hal ? 1 : 0].push_back(PickNames(x, y));
  }
  EXPECT_EQ(picked[0], picked[1]);
  EXPECT_EQ(picked[0][0], (std::vector<std::string>{"Near", "Far"})) << "the centre sees both, nearest first";
}

}  // namespace
}  // namespace kvtest
