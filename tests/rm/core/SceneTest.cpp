// Scene-wide settings (background, fog, handedness) and the read-only walk
// a renderer uses.
#include <string>
#include <vector>

#include "RmTesting.h"
#include "korvane3d/rm/EngineLock.h"
#include "korvane3d/rm/SceneWalk.h"

namespace kv::rm::testing {
namespace {

TEST(Scene, BackgroundFogAndOptionsReadBack) {
  auto root = MakeRoot();
  auto scene = MakeFrame(root.Get());
  EXPECT_EQ(scene->GetSceneBackground(), 0xff000000u);
  scene->SetSceneBackgroundRGB(0.5f, 0.5f, 0.5f);
  EXPECT_EQ(scene->GetSceneBackground(), 0xff7f7f7fu);
  EXPECT_EQ(scene->GetSceneFogEnable(), FALSE);
  scene->SetSceneFogEnable(TRUE);
  scene->SetSceneFogColor(0xff102030);
  ASSERT_EQ(scene->SetSceneFogMode(D3DRMFOG_EXPONENTIALSQUARED), D3DRM_OK);
  ASSERT_EQ(scene->SetSceneFogParams(2, 50, 0.25f), D3DRM_OK);
  EXPECT_EQ(scene->SetSceneFogMode(static_cast<D3DRMFOGMODE>(3)), D3DRMERR_BADVALUE);
  EXPECT_EQ(scene->SetSceneFogParams(NAN, 1, 1), D3DRMERR_BADVALUE);
  float start, end, density;
  scene->GetSceneFogParams(&start, &end, &density);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(end, 50);
  EXPECT_EQ(density, 0.25f);
  EXPECT_EQ(scene->GetSceneFogMode(), D3DRMFOG_EXPONENTIALSQUARED);
  EXPECT_EQ(scene->GetSceneFogColor(), 0xff102030u);
  EXPECT_EQ(scene->GetSceneFogEnable(), TRUE);

  DWORD options = 0;
  root->GetOptions(&options);
  EXPECT_EQ(options, D3DRMOPTIONS_LEFTHANDED);
  EXPECT_EQ(root->SetOptions(D3DRMOPTIONS_RIGHTHANDED), D3DRM_OK);
  EXPECT_EQ(root->SetOptions(3), D3DRMERR_BADVALUE);
  root->GetOptions(&options);
  EXPECT_EQ(options, D3DRMOPTIONS_RIGHTHANDED);
  // Each root keeps its own options.
  auto other = MakeRoot();
  other->GetOptions(&options);
  EXPECT_EQ(options, D3DRMOPTIONS_LEFTHANDED);
}

TEST(Scene, WalkGivesWorldMatricesPathsAndInstances) {
  auto root = MakeRoot();
  auto scene = MakeFrame(root.Get());
  auto a = MakeFrame(root.Get(), scene.Get());
  auto hidden = MakeFrame(root.Get(), scene.Get());
  auto belowHidden = MakeFrame(root.Get(), hidden.Get());
  auto shared = MakeFrame(root.Get());  // not in the scene: used as an instance
  a->SetPosition(nullptr, 1, 0, 0);
  shared->SetPosition(nullptr, 0, 2, 0);
  hidden->SetTraversalOptions(D3DRMFRAME_PICKENABLE);
  a->AddVisual(shared.Get());
  a->SetName("a");
  shared->SetName("shared");

  EngineLock lock;
  std::vector<std::pair<Frame*, std::size_t>> visits;
  D3DVECTOR sharedOrigin{};
  WalkScene(*Frame::From(scene.Get()), D3DRMFRAME_RENDERENABLE, [&](const FrameVisit& v) {
    visits.push_back({v.frame, v.path.size()});
    if (v.frame == Frame::From(shared.Get())) sharedOrigin = TransformPoint({0, 0, 0}, v.world);
  });
  ASSERT_EQ(visits.size(), 3u);  // scene, a, the instance below a; not hidden nor its child
  EXPECT_EQ(visits[0].first, Frame::From(scene.Get()));
  EXPECT_EQ(visits[1].first, Frame::From(a.Get()));
  EXPECT_EQ(visits[2].first, Frame::From(shared.Get()));
  EXPECT_EQ(visits[2].second, 3u);
  EXPECT_VEC_NEAR(sharedOrigin, 1, 2, 0, 1e-6f);
  // Picking walks what rendering skips.
  std::size_t pickable = 0;
  WalkScene(*Frame::From(scene.Get()), D3DRMFRAME_PICKENABLE, [&](const FrameVisit&) { ++pickable; });
  EXPECT_EQ(pickable, 5u);
}

TEST(Scene, LightsAreFoundWithTheirPlacementAndEnableFrames) {
  auto root = MakeRoot();
  auto scene = MakeFrame(root.Get());
  auto lamp = MakeFrame(root.Get(), scene.Get());
  auto lit = MakeFrame(root.Get(), scene.Get());
  auto litChild = MakeFrame(root.Get(), lit.Get());
  auto dark = MakeFrame(root.Get(), scene.Get());
  lamp->SetPosition(nullptr, 0, 5, 0);
  ComPtr<IDirect3DRMLight> light;
  root->CreateLightRGB(D3DRMLIGHT_SPOT, 1, 1, 1, light.ReleaseAndGetAddressOf());
  lamp->AddLight(light.Get());
  light->SetEnableFrame(lit.Get());

  EngineLock lock;
  auto lights = CollectLights(*Frame::From(scene.Get()));
  ASSERT_EQ(lights.size(), 1u);
  EXPECT_VEC_NEAR(lights[0].world.Translation(), 0, 5, 0, 0);
  std::vector<Frame*> toChild{Frame::From(scene.Get()), Frame::From(lit.Get()), Frame::From(litChild.Get())};
  std::vector<Frame*> toDark{Frame::From(scene.Get()), Frame::From(dark.Get())};
  EXPECT_TRUE(LightReaches(*lights[0].light, toChild));
  EXPECT_FALSE(LightReaches(*lights[0].light, toDark));
  std::vector<Frame*> fromBelow{Frame::From(litChild.Get())};  // walk started under the enable frame
  EXPECT_TRUE(LightReaches(*lights[0].light, fromBelow));
}

}  // namespace
}  // namespace kv::rm::testing
