// A visual object drawn by the engine's device into an off-screen surface:
// it shows where it stands, in its colour, and disappears when hidden.
#include <memory>

#include "host/Forms.h"
#include "objects/Kv3dmesh.h"
#include "objects/Kv3dobject.h"
#include "objects/Kv3dquality.h"
#include "package/Kv.h"
#include "rm/device/DeviceTesting.h"

namespace kvtest {
namespace {

class ObjectRender : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    kv::ResetSharedRuntime();
    form = std::make_unique<kv::TForm>(nullptr);
  }
  void TearDown() override {
    form.reset();
    kv::ResetSharedRuntime();
    RenderTest::TearDown();
  }
  std::unique_ptr<kv::TForm> form;
};

TEST_F(ObjectRender, AnObjectIsDrawnInItsColourWhereItStands) {
  AddWhiteLights();
  auto* o = new kv::TKV3DObject(form.get());
  o->Mesh()->SetActiveShape(kv::stCube);
  o->Scale()->SetX(2);
  o->Scale()->SetY(2);
  o->SetColor(kv::clRed);
  ASSERT_EQ(scene->AddChild(o->GetIDirect3DRMFrame3()), D3DRM_OK);
  o->Position()->SetZ(5);

  kv::ddraw::PixelImage image = Draw();
  const std::uint32_t centre = image.At(kSize / 2, kSize / 2);
  EXPECT_GT(Channel(centre, 16), 128) << std::hex << centre;
  EXPECT_LT(Channel(centre, 8), 16);
  EXPECT_LT(Channel(centre, 0), 16);
  EXPECT_EQ(image.At(2, 2) & 0xFFFFFF, 0u);

  o->SetVisible(false);
  image = Draw();
  EXPECT_EQ(image.At(kSize / 2, kSize / 2) & 0xFFFFFF, 0u);
  o->SetVisible(true);
  o->Position()->SetX(-40);  // out of sight to the left
  image = Draw();
  EXPECT_EQ(image.At(kSize / 2, kSize / 2) & 0xFFFFFF, 0u);
}

}  // namespace
}  // namespace kvtest
