// The light component: its engine light, types, colour, spot and
// attenuation parameters with their read-backs, enable frame, visibility,
// lifetime of the engine objects, and Clone.
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>

#include "SceneTestSupport.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/rm/Light.h"
#include "korvane3d/scene/Kv3dlight.h"

using namespace kv;

namespace {

class Light : public kvtest::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    owner = std::make_unique<TComponent>(nullptr);
    light = new TKV3DLight(owner.get());
    engine = light->GetIDirect3DLight();
    ASSERT_NE(engine, nullptr);
  }
  void TearDown() override {
    owner.reset();
    EngineTest::TearDown();
  }
  // The lights attached to the component's frame.
  static std::vector<IDirect3DRMLight*> Attached(TKV3DCustomFrame* component) {
    ComPtr<IDirect3DRMLightArray> lights;
    component->GetIDirect3DRMFrame3()->GetLights(lights.ReleaseAndGetAddressOf());
    std::vector<IDirect3DRMLight*> out;
    for (DWORD i = 0; lights && i < lights->GetSize(); ++i) {
      ComPtr<IDirect3DRMLight> l;
      lights->GetElement(i, l.ReleaseAndGetAddressOf());
      out.push_back(l.Get());  // still held by the frame
    }
    return out;
  }
  static float Radians(double degrees) { return static_cast<float>(degrees * std::numbers::pi / 180.0); }
  static ComPtr<IDirect3DRMFrame3> EnableFrameOf(IDirect3DRMLight* l) {
    ComPtr<IDirect3DRMFrame3> f;
    l->GetEnableFrame(f.ReleaseAndGetAddressOf());
    return f;
  }

  std::unique_ptr<TComponent> owner;
  TKV3DLight* light = nullptr;  // owned by `owner`
  IDirect3DRMLight* engine = nullptr;
};

TEST_F(Light, NewLightIsAWhiteDirectionalLightOnItsFrameWithItsOwnParameters) {
  EXPECT_TRUE(light->Visible());
  EXPECT_EQ(Attached(light), std::vector<IDirect3DRMLight*>{engine});
  EXPECT_EQ(light->GetType(), tDirectional);
  EXPECT_EQ(engine->GetType(), D3DRMLIGHT_DIRECTIONAL);
  EXPECT_EQ(engine->GetColor(), 0xFFFFFFFFu);
  EXPECT_EQ(light->GetColor(), clWhite);
  // The published initial values are in the engine light and read back
  // exactly.
  EXPECT_EQ(light->GetSpotUmbraAngle(), 25.0f);
  EXPECT_EQ(light->GetSpotPenumbraAngle(), 30.0f);
  EXPECT_EQ(light->GetSpotRange(), 256.0f);
  EXPECT_EQ(light->GetConstantAttenuation(), 1.0f);
  EXPECT_EQ(light->GetLinearAttenuation(), 0.0f);
  EXPECT_EQ(light->GetQuadraticAttenuation(), 0.0f);
  EXPECT_NEAR(engine->GetUmbra(), Radians(25), 1e-6);
  EXPECT_NEAR(engine->GetPenumbra(), Radians(30), 1e-6);
  EXPECT_EQ(EnableFrameOf(engine), nullptr);
  EXPECT_EQ(light->GetEnableFrame(), nullptr);
}

TEST_F(Light, TypesMapToTheEngineNumberingBothWays) {
  const std::pair<TLightType, D3DRMLIGHTTYPE> table[] = {
      {tPoint, D3DRMLIGHT_POINT}, {tAmbient, D3DRMLIGHT_AMBIENT}, {tSpot, D3DRMLIGHT_SPOT},
      {tParallelPoint, D3DRMLIGHT_PARALLELPOINT}, {tDirectional, D3DRMLIGHT_DIRECTIONAL}};
  for (auto [type, d3d] : table) {
    ASSERT_TRUE(light->SetType(type));
    EXPECT_EQ(engine->GetType(), d3d);
    EXPECT_EQ(light->GetType(), type);
  }
  // The engine's own type is what the property reports.
  engine->SetType(D3DRMLIGHT_AMBIENT);
  EXPECT_EQ(light->GetType(), tAmbient);
  // An equal write sends nothing; unknown types are refused.
  engine->SetType(D3DRMLIGHT_POINT);
  ASSERT_TRUE(light->SetType(tAmbient));
  EXPECT_EQ(engine->GetType(), D3DRMLIGHT_POINT);
  EXPECT_FALSE(light->SetType(static_cast<TLightType>(5)));
  EXPECT_FALSE(light->SetType(static_cast<TLightType>(-1)));
  EXPECT_EQ(light->GetType(), tPoint);
}

TEST_F(Light, ColourGoesToTheLightAndReadsBackExactly) {
  light->SetColor(clRed);
  EXPECT_EQ(engine->GetColor(), 0xFFFF0000u);
  EXPECT_EQ(light->GetColor(), clRed);
  for (TColor v = 0; v < 256; ++v) {
    const TColor c = v | (255 - v) << 8 | (v ^ 0x5A) << 16;
    light->SetColor(c);
    ASSERT_EQ(light->GetColor(), c) << v;
  }
}

TEST_F(Light, SpotAndAttenuationChangesSendEveryParameter) {
  ASSERT_TRUE(light->SetSpotUmbraAngle(45.0f));
  EXPECT_NEAR(engine->GetUmbra(), 0.785398f, 1e-6);
  EXPECT_EQ(light->GetSpotUmbraAngle(), 45.0f);

  // Change the engine light behind the component's back: an equal write
  // sends nothing, a different one re-sends all stored parameters.
  engine->SetPenumbra(1.0f);
  engine->SetRange(3.0f);
  ASSERT_TRUE(light->SetSpotUmbraAngle(45.0f));
  EXPECT_EQ(engine->GetPenumbra(), 1.0f);
  ASSERT_TRUE(light->SetLinearAttenuation(0.5f));
  EXPECT_NEAR(engine->GetPenumbra(), Radians(30), 1e-6);
  EXPECT_EQ(engine->GetRange(), 256.0f);
  EXPECT_EQ(engine->GetLinearAttenuation(), 0.5f);

  ASSERT_TRUE(light->SetSpotPenumbraAngle(60.0f));
  ASSERT_TRUE(light->SetSpotRange(12.5f));
  ASSERT_TRUE(light->SetConstantAttenuation(2.0f));
  ASSERT_TRUE(light->SetQuadraticAttenuation(0.125f));
  EXPECT_NEAR(engine->GetPenumbra(), Radians(60), 1e-6);
  EXPECT_EQ(engine->GetRange(), 12.5f);
  EXPECT_EQ(engine->GetConstantAttenuation(), 2.0f);
  EXPECT_EQ(engine->GetQuadraticAttenuation(), 0.125f);
  // Values set on the engine light are what the properties report.
  engine->SetLinearAttenuation(0.75f);
  EXPECT_EQ(light->GetLinearAttenuation(), 0.75f);
}

TEST_F(Light, AnglesReadBackInDegrees) {
  // Whatever was written reads back unchanged, whatever the float rounding
  // of the radians in between.
  for (float degrees : {0.0f, 1.0f, 12.345f, 25.0f, 33.3f, 47.123f, 89.9f, 179.99f}) {
    ASSERT_TRUE(light->SetSpotUmbraAngle(degrees));
    ASSERT_TRUE(light->SetSpotPenumbraAngle(degrees + 1));
    EXPECT_EQ(light->GetSpotUmbraAngle(), degrees);
    EXPECT_EQ(light->GetSpotPenumbraAngle(), degrees + 1);
  }
  // Angles set on the engine light are converted.
  engine->SetUmbra(0.5f);
  engine->SetPenumbra(static_cast<float>(std::numbers::pi / 2));
  EXPECT_NEAR(light->GetSpotUmbraAngle(), 28.64789f, 1e-4);
  EXPECT_NEAR(light->GetSpotPenumbraAngle(), 90.0f, 1e-4);
}

TEST_F(Light, BadParametersAreRefusedAndChangeNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(light->SetSpotUmbraAngle(nan));
  EXPECT_NE(LastErrorText().find("SpotUmbraAngle"), std::string::npos);
  EXPECT_FALSE(light->SetSpotRange(-std::numeric_limits<float>::infinity()));
  EXPECT_NE(LastErrorText().find("SpotRange"), std::string::npos);
  EXPECT_FALSE(light->SetQuadraticAttenuation(std::numeric_limits<float>::infinity()));
  EXPECT_EQ(light->GetSpotUmbraAngle(), 25.0f);
  EXPECT_EQ(light->GetSpotRange(), 256.0f);
  EXPECT_EQ(light->GetQuadraticAttenuation(), 0.0f);
  // Any finite range is a value: a negative one is kept and reads back.
  ASSERT_TRUE(light->SetSpotRange(-3.5f));
  EXPECT_EQ(light->GetSpotRange(), -3.5f);
  EXPECT_EQ(engine->GetRange(), -3.5f);
}

TEST_F(Light, EnableFrameLimitsTheLightAndIsForgottenWhenTheFrameGoes) {
  auto* target = new TKV3DFrame(owner.get());
  light->SetEnableFrame(target);
  EXPECT_EQ(light->GetEnableFrame(), target);
  EXPECT_EQ(EnableFrameOf(engine).Get(), target->GetIDirect3DRMFrame3());

  light->SetEnableFrame(nullptr);
  EXPECT_EQ(EnableFrameOf(engine), nullptr);

  light->SetEnableFrame(target);
  // Something else keeps the engine frame alive past its component.
  ComPtr<IDirect3DRMFrame3> survivor(target->GetIDirect3DRMFrame3());
  delete target;  // the frame component goes; the light must not point at it
  EXPECT_EQ(light->GetEnableFrame(), nullptr);
  EXPECT_EQ(EnableFrameOf(engine), nullptr);
  // The light keeps working afterwards.
  ASSERT_TRUE(light->SetSpotRange(10.0f));
  EXPECT_EQ(engine->GetRange(), 10.0f);

  // The same when the owner frees the frame together with the light.
  auto* second = new TKV3DFrame(owner.get());
  light->SetEnableFrame(second);
  owner.reset();
}

TEST_F(Light, VisibilityAttachesOneLightAndEverythingIsReleasedWithTheComponent) {
  light->SetVisible(false);
  EXPECT_TRUE(Attached(light).empty());
  EXPECT_EQ(light->GetIDirect3DLight(), engine);
  light->SetVisible(true);
  light->SetVisible(false);
  light->SetVisible(true);
  light->SetVisible(true);
  EXPECT_EQ(Attached(light), std::vector<IDirect3DRMLight*>{engine});

  ComPtr<IDirect3DRMLight> held(engine);
  ComPtr<IDirect3DRMFrame3> frame(light->GetIDirect3DRMFrame3());
  delete light;
  light = nullptr;
  // Only this test's reference is left: the component and every array it
  // obtained on the way have let go, and the frame carries no light.
  EXPECT_EQ(rm::Light::From(held.Get())->RefCountForTests(), 1u);
  ComPtr<IDirect3DRMLightArray> lights;
  frame->GetLights(lights.ReleaseAndGetAddressOf());
  EXPECT_EQ(lights->GetSize(), 0u);
}

TEST_F(Light, CloneCopiesPlacementAndEveryLightSetting) {
  auto* parent = new TKV3DFrame(owner.get());
  parent->Position()->SetX(10.0f);
  auto* limit = new TKV3DFrame(owner.get());
  light->SetParentFrame(parent);
  light->Position()->SetY(2.0f);
  light->Velocity()->SetZ(0.5f);
  light->SetColor(clYellow);
  ASSERT_TRUE(light->SetType(tSpot));
  ASSERT_TRUE(light->SetSpotPenumbraAngle(50.0f));
  ASSERT_TRUE(light->SetSpotUmbraAngle(40.0f));
  ASSERT_TRUE(light->SetSpotRange(64.0f));
  ASSERT_TRUE(light->SetConstantAttenuation(0.5f));
  ASSERT_TRUE(light->SetLinearAttenuation(0.25f));
  ASSERT_TRUE(light->SetQuadraticAttenuation(0.125f));
  light->SetEnableFrame(limit);
  // The engine's own value is what gets copied.
  engine->SetRange(70.0f);

  TKV3DLight* copy = light->Clone();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Owner(), owner.get());
  EXPECT_EQ(copy->ParentFrame(), parent);
  EXPECT_EQ(copy->Velocity()->GetZ(), 0.5f);
  D3DVECTOR world{};
  copy->GetIDirect3DRMFrame3()->GetPosition(nullptr, &world);
  EXPECT_FLOAT_EQ(world.x, 10.0f);
  EXPECT_FLOAT_EQ(world.y, 2.0f);
  EXPECT_TRUE(copy->Visible());
  IDirect3DRMLight* copied = copy->GetIDirect3DLight();
  ASSERT_NE(copied, nullptr);
  EXPECT_NE(copied, engine);
  EXPECT_EQ(Attached(copy), std::vector<IDirect3DRMLight*>{copied});
  EXPECT_EQ(copy->GetColor(), clYellow);
  EXPECT_EQ(copied->GetType(), D3DRMLIGHT_SPOT);
  EXPECT_EQ(copy->GetSpotPenumbraAngle(), 50.0f);
  EXPECT_EQ(copy->GetSpotUmbraAngle(), 40.0f);
  EXPECT_EQ(copied->GetRange(), 70.0f);
  EXPECT_EQ(copy->GetConstantAttenuation(), 0.5f);
  EXPECT_EQ(copy->GetLinearAttenuation(), 0.25f);
  EXPECT_EQ(copy->GetQuadraticAttenuation(), 0.125f);
  EXPECT_EQ(copy->GetEnableFrame(), limit);
  EXPECT_EQ(EnableFrameOf(copied).Get(), limit->GetIDirect3DRMFrame3());

  // An invisible light clones invisible; an ownerless one gives the
  // caller its copy.
  TKV3DLight loose(nullptr);
  loose.SetVisible(false);
  std::unique_ptr<TKV3DLight> looseCopy(loose.Clone());
  EXPECT_EQ(looseCopy->Owner(), nullptr);
  EXPECT_FALSE(looseCopy->Visible());
  EXPECT_TRUE(Attached(looseCopy.get()).empty());
}

}  // namespace
