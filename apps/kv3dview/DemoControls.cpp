// Camera controls of the viewer's demo: arrow keys move the camera, dragging
// with the left mouse button turns it, the wheel moves it along its view.
#include "DemoControls.h"

#include <cmath>
#include <memory>
#include <set>

#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/input/Kvikeyboard.h"
#include "korvane3d/input/Kvimouse.h"
#include "korvane3d/platform/dinput/DIKeys.h"

namespace kv::viewer {

namespace {

constexpr float kStep = 0.06f;           // units per frame while an arrow key is held
constexpr float kWheelStep = 0.004f;     // units per wheel unit
constexpr float kDegreesPerMickey = 0.25f;
constexpr float kMaxPitchSine = 0.95f;   // keeps the view off straight up or down
constexpr D3DVECTOR kWorldUp{0.0f, 1.0f, 0.0f};

// What the handlers share; kept alive by the handlers themselves, which the
// form owns.
class Pilot {
 public:
  explicit Pilot(TComponent& form) : form_(form) {}

  void OnFlip() {
    if (!devicesOn_) SwitchDevicesOn();
    const float forward = Held(DIK_UP) - Held(DIK_DOWN);
    const float sideways = Held(DIK_RIGHT) - Held(DIK_LEFT);
    if (forward != 0 || sideways != 0) Move(sideways * kStep, forward * kStep);
  }
  void KeyDown(DWORD key) { held_.insert(key); }
  void KeyUp(DWORD key) { held_.erase(key); }
  void Dragging(bool value) { dragging_ = value; }
  void MouseMove(LONG dx, LONG dy, LONG dz) {
    if (dz != 0) Move(0, static_cast<float>(dz) * kWheelStep);
    if (dragging_ && (dx != 0 || dy != 0)) Turn(dx * kDegreesPerMickey, dy * kDegreesPerMickey);
  }

 private:
  template <class T>
  T* Find(const char* name) const {
    return dynamic_cast<T*>(form_.FindComponent(name));
  }
  float Held(BYTE key) const { return held_.contains(key) ? 1.0f : 0.0f; }

  // Foreground and shared, so the window keeps its normal mouse; the
  // devices poll themselves and fire their events on the main thread.
  void SwitchDevicesOn() {
    devicesOn_ = true;
    for (TKVIInputDevice* device :
         {static_cast<TKVIInputDevice*>(Find<TKVIMouse>("Mouse")), static_cast<TKVIInputDevice*>(Find<TKVIKeyboard>("Keyboard"))}) {
      if (device == nullptr) continue;
      device->SetActive(true);
      device->SetFocusControl();
      device->SetAutoCheck(true);
    }
  }

  IDirect3DRMFrame3* CameraFrame() const {
    auto* camera = Find<TKV3DCamera>("Camera");
    return camera != nullptr ? camera->GetIDirect3DRMFrame3() : nullptr;
  }

  // Along the camera's own x (sideways) and z (forwards) axes.
  void Move(float sideways, float forward) {
    if (IDirect3DRMFrame3* frame = CameraFrame()) frame->SetPosition(frame, sideways, 0.0f, forward);
  }

  // Yaw about the scene's up axis, pitch about the camera's own sideways
  // axis; the camera never rolls.
  void Turn(float yawDegrees, float pitchDegrees) {
    auto* camera = Find<TKV3DCamera>("Camera");
    IDirect3DRMFrame3* frame = CameraFrame();
    if (frame == nullptr) return;
    IDirect3DRMFrame3* reference = camera->GetIRefFrame();
    D3DVECTOR dir, up;
    if (FAILED(frame->GetOrientation(reference, &dir, &up))) return;
    D3DVECTOR turned;
    D3DRMVectorRotate(&turned, &dir, &kWorldUp, DegreesToRadians(yawDegrees));
    D3DVECTOR side;
    D3DRMVectorCrossProduct(&side, &kWorldUp, &turned);
    D3DVECTOR pitched;
    D3DRMVectorRotate(&pitched, &turned, D3DRMVectorNormalize(&side), DegreesToRadians(pitchDegrees));
    if (std::fabs(pitched.y) < kMaxPitchSine) turned = pitched;
    frame->SetOrientation(reference, turned.x, turned.y, turned.z, kWorldUp.x, kWorldUp.y, kWorldUp.z);
  }

  static float DegreesToRadians(float degrees) { return degrees * 3.14159265f / 180.0f; }

  TComponent& form_;
  bool devicesOn_ = false;
  bool dragging_ = false;
  std::set<DWORD> held_;
};

}  // namespace

void RegisterDemoControls(TComponent& form) {
  auto pilot = std::make_shared<Pilot>(form);
  form.RegisterMethod("DemoFlip", [pilot](TObject*) { pilot->OnFlip(); });
  form.RegisterMethod("DemoKeyDown", [pilot](TObject*, DWORD key, DWORD, DWORD) { pilot->KeyDown(key); });
  form.RegisterMethod("DemoKeyUp", [pilot](TObject*, DWORD key, DWORD, DWORD) { pilot->KeyUp(key); });
  form.RegisterMethod("DemoButtonDown", [pilot](TObject*, DWORD, DWORD) { pilot->Dragging(true); });
  form.RegisterMethod("DemoButtonUp", [pilot](TObject*, DWORD, DWORD) { pilot->Dragging(false); });
  form.RegisterMethod("DemoMouseMove",
                      [pilot](TObject*, LONG dx, LONG dy, LONG dz, DWORD, DWORD) { pilot->MouseMove(dx, dy, dz); });
}

}  // namespace kv::viewer
