// The object's shadow: the shadow visual following the light, the object's
// visibility and mesh rebuilds (one current visual on the frame, replaced
// ones taken off and released), and a freed light.
#include "AppearanceTestSupport.h"
#include "korvane3d/objects/Kv3dshadow.h"
#include "korvane3d/rm/D3DRMGuids.h"
#include "korvane3d/scene/Kv3dlight.h"

using namespace kv;

namespace {

class Shadow : public kvtest::AppearanceTest {
 protected:
  void SetUp() override {
    AppearanceTest::SetUp();
    SetSquare();
    shadow = object->Shadow();
    light = new TKV3DLight(owner.get());
    light->Position()->SetY(5);
  }
  std::size_t ShadowVisuals() const { return VisualsOf(IID_IDirect3DRMShadow).size(); }
  std::size_t MeshVisuals() const { return VisualsOf(IID_IDirect3DRMMeshBuilder).size(); }
  // The one shadow visual on the frame is the shadow's current one.
  bool ShowsCurrentShadow() const {
    const auto shadows = VisualsOf(IID_IDirect3DRMShadow);
    ComPtr<IUnknown> current;
    if (shadow->GetIDirect3DShadow() != nullptr)
      shadow->GetIDirect3DShadow()->QueryInterface(IID_IDirect3DRMShadow, reinterpret_cast<void**>(current.ReleaseAndGetAddressOf()));
    return shadows.size() == 1 && current && shadows[0].Get() == current.Get();
  }
  TKV3DShadow* shadow = nullptr;
  TKV3DLight* light = nullptr;  // owned by `owner`
};

TEST_F(Shadow, TheVisualFollowsTheLightAndTheObjectsVisibility) {
  EXPECT_EQ(ShadowVisuals(), 0u);
  shadow->SetLight(light);
  EXPECT_TRUE(ShowsCurrentShadow());
  object->SetVisible(false);
  EXPECT_EQ(ShadowVisuals(), 0u);
  EXPECT_EQ(MeshVisuals(), 0u);
  object->SetVisible(true);
  EXPECT_TRUE(ShowsCurrentShadow());
  EXPECT_EQ(MeshVisuals(), 1u);
  // A hidden object casts no shadow until shown, whatever changes meanwhile.
  object->SetVisible(false);
  shadow->SetLight(light);
  EXPECT_EQ(ShadowVisuals(), 0u);
  object->SetVisible(true);
  EXPECT_TRUE(ShowsCurrentShadow());
  shadow->SetLight(nullptr);
  EXPECT_EQ(ShadowVisuals(), 0u);
  EXPECT_EQ(shadow->GetIDirect3DShadow(), nullptr);
}

TEST_F(Shadow, AReplacedVisualLeavesTheFrameAndIsReleased) {
  shadow->SetLight(light);
  ComPtr<IDirect3DRMShadow2> first(shadow->GetIDirect3DShadow());
  ASSERT_TRUE(first);
  // Setting the same light again makes a new visual.
  shadow->SetLight(light);
  EXPECT_NE(shadow->GetIDirect3DShadow(), first.Get());
  EXPECT_TRUE(ShowsCurrentShadow());
  // Each Change remakes the visual: the frame never collects old ones,
  // and nobody but this test holds them.
  ComPtr<IDirect3DRMShadow2> second(shadow->GetIDirect3DShadow());
  shadow->Change();
  EXPECT_NE(shadow->GetIDirect3DShadow(), second.Get());
  EXPECT_TRUE(ShowsCurrentShadow());
  EXPECT_EQ(second->AddRef(), 2u);  // ours plus the one just taken
  second->Release();
  object->Mesh()->SetActiveShape(stCube);
  EXPECT_TRUE(ShowsCurrentShadow());
  EXPECT_EQ(first->AddRef(), 2u);
  first->Release();
}

TEST_F(Shadow, AFreedLightTakesTheShadowAway) {
  shadow->SetLight(light);
  delete light;
  EXPECT_EQ(shadow->Light(), nullptr);
  EXPECT_EQ(shadow->GetIDirect3DShadow(), nullptr);
  EXPECT_EQ(ShadowVisuals(), 0u);
  EXPECT_EQ(MeshVisuals(), 1u);
  shadow->Change();  // no light: nothing made
  EXPECT_EQ(ShadowVisuals(), 0u);
}

}  // namespace
