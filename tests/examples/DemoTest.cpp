// The viewer's built-in demo: its files are found, every object has its
// geometry, textures and shadows, it draws; the arrow keys move the camera,
// dragging with the mouse orbits it and the wheel zooms, fed through the
// headless input.
#include <cmath>

#include "DemoForm.h"
#include "ExamplesFixture.h"
#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/input/Kvikeyboard.h"
#include "korvane3d/input/Kvimouse.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/objects/Kv3dshadow.h"
#include "korvane3d/objects/Kv3dtexture.h"
#include "korvane3d/platform/dinput/DIKeys.h"

using namespace kv;

namespace kvtest {
namespace {

using dinput::HeadlessInput;

class Demo : public ExampleTest {
 protected:
  void SetUp() override {
    ExampleTest::SetUp();
    form = viewer::ReadDemoForm();
    ASSERT_NE(form, nullptr) << LastErrorText();
    view = ShowForm();
    ASSERT_NE(view, nullptr);
    camera = Find<TKV3DCamera>("Camera");
    ASSERT_NE(camera, nullptr);
  }
  template <class T>
  T* Find(const char* name) {
    return dynamic_cast<T*>(form->FindComponent(name));
  }
  // Draws frames until `done` holds (the devices poll on their own thread
  // and hand their events to the main thread).
  bool DrawUntil(const std::function<bool()>& done) {
    return PumpUntil([&] {
      view->Render();
      return done();
    });
  }
  D3DVECTOR CameraAt() {
    return {camera->Position()->GetX(), camera->Position()->GetY(), camera->Position()->GetZ()};
  }

  TKV3DView* view = nullptr;
  TKV3DCamera* camera = nullptr;
};

TEST_F(Demo, FindsItsFilesAndBuildsEveryObject) {
  EXPECT_EQ(viewer::DemoDataFolder(), std::string(KV_EXAMPLES_DATA_DIR) + "/");
  auto* knot = Find<TKV3DObject>("Knot");
  ASSERT_NE(knot, nullptr);
  EXPECT_EQ(knot->Mesh()->VertexCount(), 1280u);  // the knot file: 128 rings of 10
  for (const char* name : {"Floor", "Tube", "Planet", "Moon", "Grid", "Knot"}) {
    auto* object = Find<TKV3DObject>(name);
    ASSERT_NE(object, nullptr) << name;
    EXPECT_NE(object->Mesh()->GetIDirect3DMeshBuilder(), nullptr) << name;
  }
  EXPECT_NE(Find<TKV3DObject>("Floor")->Texture()->GetIDirect3DTexture(), nullptr);
  EXPECT_NE(Find<TKV3DObject>("Planet")->Texture()->GetIDirect3DTexture(), nullptr);
  EXPECT_NE(Find<TKV3DObject>("Planet")->Shadow()->GetIDirect3DShadow(), nullptr);
  EXPECT_NE(Find<TKV3DObject>("Knot")->Shadow()->GetIDirect3DShadow(), nullptr);

  const ddraw::PixelImage image = Draw(view, 5);
  EXPECT_GT(ShareNotBackground(image, view->Scene()), 0.5);
  EXPECT_TRUE(platform::RecordedMessageBoxes().empty());
}

TEST_F(Demo, FirstFrameSwitchesTheDevicesOnAndArrowKeysMoveTheCamera) {
  view->Render();
  auto* keyboard = Find<TKVIKeyboard>("Keyboard");
  auto* mouse = Find<TKVIMouse>("Mouse");
  ASSERT_TRUE(keyboard && mouse);
  EXPECT_TRUE(keyboard->Active());
  EXPECT_TRUE(mouse->Active());
  EXPECT_TRUE(keyboard->AutoCheck());

  const D3DVECTOR start = CameraAt();
  ASSERT_TRUE(HeadlessInput::PressKey(DIK_UP, 10));
  ASSERT_TRUE(DrawUntil([&] { return CameraAt().z > start.z + 0.3f; }));
  EXPECT_NEAR(CameraAt().x, start.x, 1e-3f);  // straight ahead: no sideways drift
  ASSERT_TRUE(HeadlessInput::ReleaseKey(DIK_UP, 20));
  ASSERT_TRUE(HeadlessInput::PressKey(DIK_LEFT, 30));
  ASSERT_TRUE(DrawUntil([&] { return CameraAt().x < start.x - 0.3f; }));
  ASSERT_TRUE(HeadlessInput::ReleaseKey(DIK_LEFT, 40));

  // Released: the camera stays where it is once the release has arrived.
  ASSERT_TRUE(DrawUntil([&] {
    const float x = CameraAt().x;
    view->Render();
    return CameraAt().x == x;
  }));
  const D3DVECTOR stopped = CameraAt();
  for (int i = 0; i < 5; ++i) view->Render();
  EXPECT_EQ(CameraAt().z, stopped.z);
}

TEST_F(Demo, DraggingOrbitsAboutThePointLookedAtAndTheWheelZoomsTowardsIt) {
  view->Render();
  TKV3DOrientation* o = camera->Orientation();
  auto dir = [&] {
    D3DVECTOR d{o->GetDirX(), o->GetDirY(), o->GetDirZ()};
    return *D3DRMVectorNormalize(&d);
  };
  // The point orbited: where the line of sight passes closest to the origin.
  const D3DVECTOR p0 = CameraAt(), d0 = dir();
  const float ahead = -(p0.x * d0.x + p0.y * d0.y + p0.z * d0.z);
  const D3DVECTOR pivot{p0.x + d0.x * ahead, p0.y + d0.y * ahead, p0.z + d0.z * ahead};
  auto distance = [&] {
    const D3DVECTOR p = CameraAt();
    return std::sqrt((p.x - pivot.x) * (p.x - pivot.x) + (p.y - pivot.y) * (p.y - pivot.y) +
                     (p.z - pivot.z) * (p.z - pivot.z));
  };
  auto looksAtPivot = [&] {
    const D3DVECTOR p = CameraAt(), d = dir();
    const float r = distance();
    return std::fabs((pivot.x - p.x) / r - d.x) < 1e-3f && std::fabs((pivot.y - p.y) / r - d.y) < 1e-3f &&
           std::fabs((pivot.z - p.z) / r - d.z) < 1e-3f;
  };

  // Moving without a button held turns nothing.
  HeadlessInput::MoveMouse(40, 0, 0, 10);
  for (int i = 0; i < 20; ++i) {
    Application().ProcessMessages();
    view->Render();
  }
  EXPECT_NEAR(o->GetDirX(), d0.x, 1e-4f);

  ASSERT_TRUE(HeadlessInput::Button(0, true, 20));
  HeadlessInput::MoveMouse(40, -20, 0, 30);
  ASSERT_TRUE(DrawUntil([&] { return dir().x > d0.x + 0.1f; }));
  EXPECT_LT(CameraAt().x, p0.x - 0.5f);  // gone round to the left, looking right
  EXPECT_NEAR(distance(), ahead, 1e-3f * ahead);
  EXPECT_TRUE(looksAtPivot());
  // No roll: the camera's sideways axis stays level.
  EXPECT_NEAR(o->GetDirZ() * o->GetUpX() - o->GetDirX() * o->GetUpZ(), 0.0f, 1e-4f);
  ASSERT_TRUE(HeadlessInput::Button(0, false, 40));

  // A notch of the wheel forwards: closer, still looking at the point.
  const float before = distance();
  HeadlessInput::MoveMouse(0, 0, 120, 50);
  ASSERT_TRUE(DrawUntil([&] { return distance() < before * 0.95f; }));
  EXPECT_TRUE(looksAtPivot());
  HeadlessInput::MoveMouse(0, 0, -240, 60);
  ASSERT_TRUE(DrawUntil([&] { return distance() > before * 1.05f; }));
}

}  // namespace
}  // namespace kvtest
