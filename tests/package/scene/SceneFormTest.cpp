// Scenes, fog and lights read from and written to form files: every
// published property round-trips, Loaded builds the scene graph, bad values
// are refused with the property named.
#include <memory>
#include <string>

#include "SceneTestSupport.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/host/Registry.h"
#include "korvane3d/scene/Kv3dlight.h"
#include "korvane3d/scene/Kv3dscene.h"

using namespace kv;
using kvtest::EngineParent;

namespace {

class SceneForms : public kvtest::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Register();  // the package's palette, scene and light included
  }
  static std::unique_ptr<TComponent> Read(const std::string& text) { return ReadComponentText(text, "scene.kvf"); }
  static std::string Write(TComponent* root) {
    std::string text;
    EXPECT_TRUE(WriteComponentText(root, text)) << LastErrorText();
    return text;
  }
  template <class T>
  static T* Find(TComponent* root, const char* name) {
    return dynamic_cast<T*>(root->FindComponent(name));
  }
};

const char* const kSceneForm = R"(object Form1: TForm
  object Scene1: TKV3DScene
    Fog.Color = clRed
    Fog.Visible = True
    Fog.Mode = fExponential
    Fog.Start = 2.0
    Fog.End = 0.0
    Fog.Density = 0.25
    BackgroundColor = clNavy
    BackgroundImage = 'no_such_background.bmp'
  end
  object Frame1: TKV3DFrame
    ParentFrame = Scene1
    Position.X = 10.0
  end
  object Light1: TKV3DLight
    Visible = False
    Color = clBlack
    Type = tSpot
    SpotPenumbraAngle = 40.0
    SpotUmbraAngle = 20.0
    SpotRange = -5.0
    AConstantAttenuation = 0.0
    ALinearAttenuation = 0.5
    AQuadraticAttenuation = 0.25
    EnableFrame = Frame1
    ParentFrame = Frame1
    Position.Y = 3.0
  end
end
)";

TEST_F(SceneForms, AFormBuildsTheSceneGraphAndEngineState) {
  std::unique_ptr<TComponent> form = Read(kSceneForm);
  ASSERT_NE(form, nullptr) << LastErrorText();
  auto* scene = Find<TKV3DScene>(form.get(), "Scene1");
  auto* frame = Find<TKV3DFrame>(form.get(), "Frame1");
  auto* light = Find<TKV3DLight>(form.get(), "Light1");
  ASSERT_TRUE(scene && frame && light);
  IDirect3DRMFrame3* sceneFrame = scene->GetIDirect3DRMFrame3();

  // Scene: background and fog in the engine.
  EXPECT_EQ(sceneFrame->GetSceneBackground(), 0xFF000080u);
  EXPECT_EQ(scene->BackgroundImage(), "no_such_background.bmp");
  EXPECT_EQ(sceneFrame->GetSceneFogColor(), 0xFFFF0000u);
  EXPECT_EQ(sceneFrame->GetSceneFogMode(), D3DRMFOG_EXPONENTIAL);
  EXPECT_TRUE(sceneFrame->GetSceneFogEnable());
  D3DVALUE start = -1, end = -1, density = -1;
  sceneFrame->GetSceneFogParams(&start, &end, &density);
  EXPECT_EQ(start, 2.0f);
  EXPECT_EQ(end, 0.0f);
  EXPECT_EQ(density, 0.25f);

  // Graph: the light hangs under the frame, the frame under the scene root.
  EXPECT_EQ(EngineParent(sceneFrame), nullptr);
  EXPECT_EQ(EngineParent(frame->GetIDirect3DRMFrame3()).Get(), sceneFrame);
  EXPECT_EQ(EngineParent(light->GetIDirect3DRMFrame3()).Get(), frame->GetIDirect3DRMFrame3());
  EXPECT_EQ(light->GetIScene(), sceneFrame);
  D3DVECTOR world{};
  light->GetIDirect3DRMFrame3()->GetPosition(nullptr, &world);
  EXPECT_FLOAT_EQ(world.x, 10.0f);
  EXPECT_FLOAT_EQ(world.y, 3.0f);

  // Light: every parameter in the engine light, not attached.
  IDirect3DRMLight* engine = light->GetIDirect3DLight();
  EXPECT_EQ(engine->GetType(), D3DRMLIGHT_SPOT);
  EXPECT_EQ(engine->GetColor(), 0xFF000000u);
  EXPECT_NEAR(engine->GetUmbra(), 0.349066f, 1e-6);
  EXPECT_NEAR(engine->GetPenumbra(), 0.698132f, 1e-6);
  // Any range is kept as given, a negative one too (it reaches nothing).
  EXPECT_EQ(engine->GetRange(), -5.0f);
  EXPECT_EQ(light->GetSpotRange(), -5.0f);
  EXPECT_EQ(engine->GetConstantAttenuation(), 0.0f);
  EXPECT_EQ(engine->GetLinearAttenuation(), 0.5f);
  EXPECT_EQ(engine->GetQuadraticAttenuation(), 0.25f);
  ComPtr<IDirect3DRMFrame3> enable;
  engine->GetEnableFrame(enable.ReleaseAndGetAddressOf());
  EXPECT_EQ(enable.Get(), frame->GetIDirect3DRMFrame3());
  ComPtr<IDirect3DRMLightArray> attached;
  light->GetIDirect3DRMFrame3()->GetLights(attached.ReleaseAndGetAddressOf());
  EXPECT_EQ(attached->GetSize(), 0u);
}

TEST_F(SceneForms, EveryPublishedValueRoundTrips) {
  std::unique_ptr<TComponent> form = Read(kSceneForm);
  ASSERT_NE(form, nullptr) << LastErrorText();
  const std::string written = Write(form.get());
  for (const char* line : {"Fog.Color = clRed", "Fog.Visible = True", "Fog.Mode = fExponential", "Fog.Start = 2",
                           "Fog.End = 0", "Fog.Density = 0.25", "BackgroundColor = clNavy",
                           "BackgroundImage = 'no_such_background.bmp'", "Visible = False", "Color = clBlack",
                           "Type = tSpot", "SpotPenumbraAngle = 40", "SpotUmbraAngle = 20", "SpotRange = -5",
                           "AConstantAttenuation = 0", "ALinearAttenuation = 0.5", "AQuadraticAttenuation = 0.25",
                           "EnableFrame = Frame1", "ParentFrame = Frame1"}) {
    EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;
  }
  // The light's properties come out in publishing order.
  EXPECT_LT(written.find("    Visible = False"), written.find("Color = clBlack"));
  EXPECT_LT(written.find("Type = tSpot"), written.find("SpotPenumbraAngle"));
  EXPECT_LT(written.find("SpotPenumbraAngle"), written.find("SpotUmbraAngle"));
  EXPECT_LT(written.find("EnableFrame"), written.find("ParentFrame = Frame1"));

  std::unique_ptr<TComponent> again = Read(written);
  ASSERT_NE(again, nullptr) << LastErrorText() << "\n" << written;
  EXPECT_EQ(Write(again.get()), written);
}

TEST_F(SceneForms, NewComponentsWriteNothingBeyondTheirNames) {
  TForm form(nullptr);
  form.SetName("Form1");
  auto* scene = new TKV3DScene(&form);
  scene->SetName("Scene1");
  auto* light = new TKV3DLight(&form);
  light->SetName("Light1");
  const std::string written = Write(&form);
  for (const char* word : {"Fog.", "Background", "Visible", "Color", "Type", "Spot", "Attenuation", "EnableFrame"}) {
    EXPECT_EQ(written.find(word), std::string::npos) << word << "\n" << written;
  }
}

TEST_F(SceneForms, BadValuesNameThePropertyAndLeaveNothingBehind) {
  const std::pair<const char*, const char*> cases[] = {
      {"object Light1: TKV3DLight\n    Type = tBogus\n  end", "Type"},
      {"object Light1: TKV3DLight\n    SpotRange = NaN\n  end", "SpotRange"},
      {"object Light1: TKV3DLight\n    Color = 'red'\n  end", "Color"},
      {"object Scene1: TKV3DScene\n  end\n  object Light1: TKV3DLight\n    EnableFrame = Scene1\n  end",
       "EnableFrame"},
      {"object Scene1: TKV3DScene\n    Fog.Mode = fThick\n  end", "Fog.Mode"},
      {"object Scene1: TKV3DScene\n    Fog.Density = True\n  end", "Fog.Density"},
      {"object Scene1: TKV3DScene\n    ParentFrame = Scene1\n  end", "ParentFrame"},
  };
  for (auto [body, property] : cases) {
    const std::string text = std::string("object Form1: TForm\n  ") + body + "\nend\n";
    ClearLastError();
    EXPECT_EQ(Read(text), nullptr) << text;
    EXPECT_NE(LastErrorText().find(property), std::string::npos) << LastErrorText();
  }
}

}  // namespace
