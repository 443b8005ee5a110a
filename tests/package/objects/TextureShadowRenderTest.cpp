// A visual object drawn by the engine's device: its wrapped texture shows on
// the sphere, and the shadow from a light lands on the plane below it.
#include <filesystem>
#include <memory>
#include <set>

#include "../../rm/device/DeviceTesting.h"
#include "korvane3d/host/Component.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/objects/Kv3dquality.h"
#include "korvane3d/objects/Kv3dshadow.h"
#include "korvane3d/objects/Kv3dtexture.h"
#include "korvane3d/objects/Kv3dwrap.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/scene/Kv3dlight.h"
#include "support/OwnPictures.h"

using namespace kv;

namespace {

class AppearanceRender : public kvtest::RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    ResetSharedRuntime();
    owner = std::make_unique<TComponent>(nullptr);
    ball = new TKV3DObject(owner.get());
    ball->Mesh()->SetActiveShape(stSphere);
    ball->Position()->SetZ(6);
    ball->Quality()->SetMLightMode(false);  // unlit: the texture's own colours
    ASSERT_EQ(scene->AddChild(ball->GetIDirect3DRMFrame3()), D3DRM_OK);
    ASSERT_EQ(scene->SetSceneBackgroundRGB(1, 1, 1), D3DRM_OK);
    sun = new TKV3DLight(owner.get());
    sun->SetType(tPoint);
    sun->Position()->SetY(6);
    sun->Position()->SetZ(6);
    // The engine casts shadows only from lights of the scene it draws.
    ASSERT_EQ(scene->AddChild(sun->GetIDirect3DRMFrame3()), D3DRM_OK);
  }
  void TearDown() override {
    owner.reset();
    RenderTest::TearDown();
    ResetSharedRuntime();
  }
  // Distinct colours and dark pixels in rows [top, bottom).
  static std::set<std::uint32_t> Colours(const kv::ddraw::PixelImage& image, int top, int bottom) {
    std::set<std::uint32_t> colours;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < image.width; ++x) colours.insert(image.At(x, y));
    return colours;
  }
  static int Dark(const kv::ddraw::PixelImage& image, int top, int bottom) {
    int count = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < image.width; ++x) count += kvtest::Channel(image.At(x, y), 8) < 64 ? 1 : 0;
    return count;
  }
  std::unique_ptr<TComponent> owner;
  TKV3DObject* ball = nullptr;  // owned by `owner`
  TKV3DLight* sun = nullptr;    // owned by `owner`
};

TEST_F(AppearanceRender, AWrappedTexturedShadowedSphereDraws) {
  // The sphere fills the middle rows; the shadow plane y = -2 lies below.
  const int sphereTop = kSize / 3, sphereBottom = 2 * kSize / 3, shadowTop = 3 * kSize / 4;
  const kv::ddraw::PixelImage plain = Draw();
  const std::size_t plainColours = Colours(plain, sphereTop, sphereBottom).size();
  EXPECT_EQ(Dark(plain, shadowTop, kSize), 0);

  TKV3DWrap* wrap = ball->Wrap();
  wrap->SetDirY(1);
  wrap->SetUpZ(1);
  wrap->SetType(twSphere);
  const std::string picture = (std::filesystem::path(::testing::TempDir()) / "kv-shadow-render.png").string();
  ASSERT_FALSE(kvtest::WritePicture(picture, 32, 32).empty());
  ball->Texture()->SetFileName(picture);
  std::filesystem::remove(picture);
  ASSERT_NE(ball->Texture()->GetIDirect3DTexture(), nullptr);
  TKV3DShadow* shadow = ball->Shadow();
  shadow->SetPlaneY(-2);
  shadow->SetLight(sun);
  ASSERT_NE(shadow->GetIDirect3DShadow(), nullptr);

  const kv::ddraw::PixelImage dressed = Draw();
  EXPECT_GT(Colours(dressed, sphereTop, sphereBottom).size(), plainColours + 50);
  EXPECT_GT(Dark(dressed, shadowTop, kSize), 100);

  // Hidden, the object leaves only the background.
  ball->SetVisible(false);
  const kv::ddraw::PixelImage hidden = Draw();
  EXPECT_EQ(Colours(hidden, 0, kSize), std::set<std::uint32_t>{0xFFFFFF});
}

}  // namespace
