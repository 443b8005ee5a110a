// The scene: its root frame, background colour and image, and the fog with
// its read-backs and copy semantics.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <utility>

#include "SceneTestSupport.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/platform/win/WinApi.h"
#include "korvane3d/scene/Kv3dscene.h"
#include "support/OwnPictures.h"

namespace fs = std::filesystem;
using namespace kv;
using kvtest::EngineParent;

namespace {

class Scene : public kvtest::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    scene = std::make_unique<TKV3DScene>(nullptr);
    frame = scene->GetIDirect3DRMFrame3();
    ASSERT_NE(frame, nullptr);
  }
  void TearDown() override {
    scene.reset();
    EngineTest::TearDown();
  }
  void ExpectEngineFog(D3DCOLOR color, D3DRMFOGMODE mode, BOOL enabled, float start, float end, float density) {
    EXPECT_EQ(frame->GetSceneFogColor(), color);
    EXPECT_EQ(frame->GetSceneFogMode(), mode);
    EXPECT_EQ(frame->GetSceneFogEnable(), enabled);
    D3DVALUE s = -1, e = -1, d = -1;
    frame->GetSceneFogParams(&s, &e, &d);
    EXPECT_EQ(s, start);
    EXPECT_EQ(e, end);
    EXPECT_EQ(d, density);
  }
  std::unique_ptr<TKV3DScene> scene;
  IDirect3DRMFrame3* frame = nullptr;
};

TEST_F(Scene, IsARootFrameThatOtherFramesJoin) {
  EXPECT_EQ(EngineParent(frame), nullptr);
  EXPECT_EQ(scene->GetIScene(), frame);

  auto member = std::make_unique<TKV3DFrame>(nullptr);
  member->SetParentFrame(scene.get());
  EXPECT_EQ(EngineParent(member->GetIDirect3DRMFrame3()).Get(), frame);
  EXPECT_EQ(member->GetIScene(), frame);
  // Freeing the scene leaves its member alive under the shared root.
  scene.reset();
  EXPECT_EQ(member->ParentFrame(), nullptr);
  EXPECT_EQ(EngineParent(member->GetIDirect3DRMFrame3()).Get(), SharedRootFrame());
}

TEST_F(Scene, BackgroundColourIsSentOpaqueOnEveryWrite) {
  scene->SetBackgroundColor(clRed);
  EXPECT_EQ(frame->GetSceneBackground(), 0xFFFF0000u);
  EXPECT_EQ(scene->BackgroundColor(), clRed);
  // Every byte value survives the trip through the float components.
  for (TColor v = 0; v < 256; ++v) {
    scene->SetBackgroundColor(v << 8 | (255 - v));
    ASSERT_EQ(frame->GetSceneBackground(), 0xFF000000u | (255 - v) << 16 | v << 8) << v;
  }
  // A system colour is taken by its low bytes, not looked up.
  scene->SetBackgroundColor(clBtnFace);
  EXPECT_EQ(frame->GetSceneBackground(), 0xFF0F0000u);
  EXPECT_EQ(scene->BackgroundColor(), clBtnFace);
  // Written again although equal.
  frame->SetSceneBackground(0xFF123456);
  scene->SetBackgroundColor(clBtnFace);
  EXPECT_EQ(frame->GetSceneBackground(), 0xFF0F0000u);
}

TEST_F(Scene, BackgroundImageLoadsClearsAndKeepsTheNameGiven) {
  const fs::path dir = fs::temp_directory_path();
  const std::string wide = kvtest::WritePicture(dir / "kv_scene_wide.bmp", 127, 64);
  const std::string narrow = kvtest::WritePicture(dir / "kv_scene_narrow.png", 127, 32);
  ASSERT_FALSE(wide.empty() || narrow.empty());
  auto imageSize = [&] {
    ComPtr<IDirect3DRMTexture3> texture;
    frame->GetSceneBackgroundImage(texture.ReleaseAndGetAddressOf());
    DWORD w = 0, h = 0;
    if (texture) texture->GetSize(&w, &h);
    return std::pair<DWORD, DWORD>(w, h);
  };
  using Size = std::pair<DWORD, DWORD>;

  scene->SetBackgroundImage(wide);
  EXPECT_EQ(scene->BackgroundImage(), wide);
  EXPECT_EQ(imageSize(), Size(127, 64));

  // Found but not an image: the image shown so far stays, the name changes.
  const fs::path junk = fs::temp_directory_path() / "kv_scene_not_an_image.bmp";
  std::ofstream(junk) << "this is no bitmap";
  ClearLastError();
  scene->SetBackgroundImage(junk.string());
  EXPECT_EQ(scene->BackgroundImage(), junk.string());
  EXPECT_EQ(imageSize(), Size(127, 64));
  EXPECT_NE(LastErrorText().find("could not be loaded"), std::string::npos) << LastErrorText();
  fs::remove(junk);

  scene->SetBackgroundImage(narrow);
  EXPECT_EQ(imageSize(), Size(127, 32));

  // Found nowhere: the image goes, the colour shows, the name stays.
  scene->SetBackgroundImage("no_such_background.bmp");
  EXPECT_EQ(scene->BackgroundImage(), "no_such_background.bmp");
  EXPECT_EQ(imageSize(), Size(0, 0));
  EXPECT_NE(LastErrorText().find("not found"), std::string::npos) << LastErrorText();

  scene->SetBackgroundImage(wide);
  scene->SetBackgroundImage("");
  EXPECT_EQ(scene->BackgroundImage(), "");
  EXPECT_EQ(imageSize(), Size(0, 0));
  fs::remove(wide);
  fs::remove(narrow);
}

TEST_F(Scene, FogStartsWithItsOwnValuesInTheEngine) {
  TKV3DFog* fog = scene->Fog();
  ASSERT_NE(fog, nullptr);
  EXPECT_EQ(fog->GetMode(), fLinear);
  EXPECT_EQ(fog->GetStart(), 0.0f);
  EXPECT_EQ(fog->GetEnd(), 100.0f);
  EXPECT_EQ(fog->GetDensity(), 0.5f);
  ExpectEngineFog(0xFF000000, D3DRMFOG_LINEAR, FALSE, 0.0f, 100.0f, 0.5f);

  // Setting a value to what a new fog has changes nothing it reports.
  ASSERT_TRUE(fog->SetStart(0.0f));
  EXPECT_EQ(fog->GetStart(), 0.0f);

  fog->SetVisible(true);
  ExpectEngineFog(0xFF000000, D3DRMFOG_LINEAR, TRUE, 0.0f, 100.0f, 0.5f);
}

TEST_F(Scene, FogSettersSendTheWholeStateOnlyWhenAValueChanges) {
  TKV3DFog* fog = scene->Fog();
  fog->SetColor(clRed);
  ASSERT_TRUE(fog->SetMode(fExponentialSquared));
  ASSERT_TRUE(fog->SetStart(2.5f));
  ASSERT_TRUE(fog->SetEnd(40.0f));
  ASSERT_TRUE(fog->SetDensity(0.25f));
  fog->SetVisible(true);
  ExpectEngineFog(0xFFFF0000, D3DRMFOG_EXPONENTIALSQUARED, TRUE, 2.5f, 40.0f, 0.25f);

  // Change the engine behind the fog's back: equal writes send nothing...
  frame->SetSceneFogParams(7, 8, 9);
  frame->SetSceneFogEnable(FALSE);
  ASSERT_TRUE(fog->SetStart(2.5f));
  fog->SetVisible(true);
  fog->SetColor(clRed);
  ASSERT_TRUE(fog->SetMode(fExponentialSquared));
  ExpectEngineFog(0xFFFF0000, D3DRMFOG_EXPONENTIALSQUARED, FALSE, 7, 8, 9);
  // ...and the getters report the engine's values.
  EXPECT_EQ(fog->GetStart(), 7.0f);
  EXPECT_EQ(fog->GetDensity(), 9.0f);
  // A real change sends every stored value; each getter stored only its own.
  ASSERT_TRUE(fog->SetEnd(50.0f));
  ExpectEngineFog(0xFFFF0000, D3DRMFOG_EXPONENTIALSQUARED, TRUE, 7.0f, 50.0f, 9.0f);

  frame->SetSceneFogMode(D3DRMFOG_EXPONENTIAL);
  EXPECT_EQ(fog->GetMode(), fExponential);
}

TEST_F(Scene, FogResolvesSystemColoursAndRefusesBadValues) {
  TKV3DFog* fog = scene->Fog();
  fog->SetColor(clBtnFace);
  EXPECT_EQ(fog->Color(), clBtnFace);
  const DWORD rgb = GetSysColor(COLOR_BTNFACE);  // 0x00BBGGRR
  const D3DCOLOR btnFace = 0xFF000000u | (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF);
  EXPECT_EQ(frame->GetSceneFogColor(), btnFace);
  // Other values give their low three bytes, markers included; a system
  // colour past the scheme's end has none to give.
  const std::pair<TColor, D3DCOLOR> rows[] = {
      {clNone, 0xFFFFFFFF}, {clDefault, 0xFF000000}, {0x1F0000FF, 0xFFFF0000}, {clSystemColor | 0x100, 0xFF000000}};
  for (auto [color, sent] : rows) {
    fog->SetColor(color);
    EXPECT_EQ(frame->GetSceneFogColor(), sent) << std::hex << color;
  }
  fog->SetColor(clBtnFace);

  ASSERT_TRUE(fog->SetStart(3.0f));
  EXPECT_FALSE(fog->SetStart(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_NE(LastErrorText().find("Start"), std::string::npos);
  EXPECT_FALSE(fog->SetEnd(std::numeric_limits<float>::infinity()));
  EXPECT_FALSE(fog->SetMode(static_cast<TFogMode>(3)));
  ExpectEngineFog(btnFace, D3DRMFOG_LINEAR, FALSE, 3.0f, 100.0f, 0.5f);
}

TEST_F(Scene, WritingFogCopiesSettingsAndNeverTakesTheObject) {
  TKV3DFog* own = scene->Fog();
  {
    auto loose = std::make_unique<TKV3DFog>(nullptr);
    loose->SetColor(clBlue);
    loose->SetVisible(true);
    ASSERT_TRUE(loose->SetMode(fExponential));
    ASSERT_TRUE(loose->SetStart(1.0f));
    ASSERT_TRUE(loose->SetEnd(20.0f));
    ASSERT_TRUE(loose->SetDensity(0.75f));
    scene->SetFog(loose.get());
    EXPECT_EQ(scene->Fog(), own);
  }  // the caller frees its own object; the scene's fog is untouched by that
  EXPECT_EQ(own->Color(), clBlue);
  EXPECT_TRUE(own->Visible());
  EXPECT_EQ(own->GetMode(), fExponential);
  ExpectEngineFog(0xFF0000FF, D3DRMFOG_EXPONENTIAL, TRUE, 1.0f, 20.0f, 0.75f);

  // From another scene: its values are what its engine frame reports.
  auto other = std::make_unique<TKV3DScene>(nullptr);
  other->GetIDirect3DRMFrame3()->SetSceneFogParams(4, 5, 0.125f);
  scene->SetFog(other->Fog());
  EXPECT_EQ(scene->Fog(), own);
  EXPECT_EQ(own->GetStart(), 4.0f);
  ExpectEngineFog(0xFF000000, D3DRMFOG_LINEAR, FALSE, 4.0f, 5.0f, 0.125f);
  other.reset();
  EXPECT_EQ(own->GetEnd(), 5.0f);

  // Not a fog: refused, nothing changes.
  scene->SetFog(nullptr);
  EXPECT_FALSE(own->Assign(scene->Position()));
  ExpectEngineFog(0xFF000000, D3DRMFOG_LINEAR, FALSE, 4.0f, 5.0f, 0.125f);
}

}  // namespace
