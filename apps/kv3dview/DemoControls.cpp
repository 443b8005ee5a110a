// Camera controls of the viewer's demo (and of a mesh file it shows):
// dragging with the left mouse button orbits the camera about the point it
// looks at, the wheel zooms towards that point, the arrow keys move the
// camera and the point together.
#include "DemoControls.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/input/Kvikeyboard.h"
#include "korvane3d/input/Kvimouse.h"
#include "korvane3d/platform/dinput/DIKeys.h"

namespace kv::viewer {

namespace {

constexpr float kStep = 0.06f;              // units per frame while an arrow key is held
constexpr float kZoomPerWheelUnit = 0.0015f;  // a notch (120) brings the camera 16% closer
constexpr float kDegreesPerMickey = 0.25f;
constexpr float kMaxPitchSine = 0.95f;      // keeps the view off straight up or down
constexpr float kNearest = 1e-3f;           // of the first distance: how close the zoom goes
constexpr D3DVECTOR kWorldUp{0.0f, 1.0f, 0.0f};

D3DVECTOR Plus(D3DVECTOR a, D3DVECTOR b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
D3DVECTOR Minus(D3DVECTOR a, D3DVECTOR b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3DVECTOR Times(D3DVECTOR a, float f) { return {a.x * f, a.y * f, a.z * f}; }

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
    if (dz != 0) Zoom(static_cast<float>(dz));
    if (dragging_ && (dx != 0 || dy != 0)) Orbit(dx * kDegreesPerMickey, dy * kDegreesPerMickey);
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

  // The camera's frame and the frame its placement is given in; false when
  // there is no camera.
  bool Camera(IDirect3DRMFrame3*& frame, IDirect3DRMFrame3*& reference) const {
    auto* camera = Find<TKV3DCamera>("Camera");
    frame = camera != nullptr ? camera->GetIDirect3DRMFrame3() : nullptr;
    reference = camera != nullptr ? camera->GetIRefFrame() : nullptr;
    return frame != nullptr;
  }

  // The point orbited about, in the reference frame: first, where the
  // camera's line of sight passes closest to the origin (the middle of the
  // demo, the centre of a mesh), at least one unit ahead.
  bool Pivot(IDirect3DRMFrame3* frame, IDirect3DRMFrame3* reference, D3DVECTOR& position, D3DVECTOR& dir) {
    D3DVECTOR up;
    if (FAILED(frame->GetPosition(reference, &position)) || FAILED(frame->GetOrientation(reference, &dir, &up)))
      return false;
    D3DRMVectorNormalize(&dir);
    if (!pivotSet_) {
      const D3DVECTOR toOrigin = Times(position, -1);
      const float ahead = std::max(D3DRMVectorDotProduct(&toOrigin, &dir), 1.0f);
      pivot_ = Plus(position, Times(dir, ahead));
      nearest_ = ahead * kNearest;
      pivotSet_ = true;
    }
    return true;
  }

  // Along the camera's own x (sideways) and z (forwards) axes; the pivot
  // goes along.
  void Move(float sideways, float forward) {
    IDirect3DRMFrame3 *frame, *reference;
    D3DVECTOR before, dir, after;
    if (!Camera(frame, reference) || !Pivot(frame, reference, before, dir)) return;
    frame->SetPosition(frame, sideways, 0.0f, forward);
    if (SUCCEEDED(frame->GetPosition(reference, &after))) pivot_ = Plus(pivot_, Minus(after, before));
  }

  // Nearer to the pivot or further from it, by a share of the distance.
  void Zoom(float wheel) {
    IDirect3DRMFrame3 *frame, *reference;
    D3DVECTOR position, dir;
    if (!Camera(frame, reference) || !Pivot(frame, reference, position, dir)) return;
    const D3DVECTOR offset = Minus(position, pivot_);
    const float distance = D3DRMVectorModulus(&offset);
    const float wanted = std::max(distance * std::exp(-wheel * kZoomPerWheelUnit), nearest_);
    const D3DVECTOR placed = Minus(pivot_, Times(dir, wanted));
    frame->SetPosition(reference, placed.x, placed.y, placed.z);
  }

  // Yaw about the scene's up axis and pitch about the camera's sideways
  // axis, both through the pivot, still looking at it; the camera never
  // rolls.
  void Orbit(float yawDegrees, float pitchDegrees) {
    IDirect3DRMFrame3 *frame, *reference;
    D3DVECTOR position, dir;
    if (!Camera(frame, reference) || !Pivot(frame, reference, position, dir)) return;
    const D3DVECTOR offset = Minus(position, pivot_);
    const float distance = D3DRMVectorModulus(&offset);
    D3DVECTOR turned;
    D3DRMVectorRotate(&turned, &dir, &kWorldUp, DegreesToRadians(yawDegrees));
    D3DVECTOR side;
    D3DRMVectorCrossProduct(&side, &kWorldUp, &turned);
    D3DVECTOR pitched;
    D3DRMVectorRotate(&pitched, &turned, D3DRMVectorNormalize(&side), DegreesToRadians(pitchDegrees));
    if (std::fabs(pitched.y) < kMaxPitchSine) turned = pitched;
    const D3DVECTOR placed = Minus(pivot_, Times(turned, distance));
    frame->SetPosition(reference, placed.x, placed.y, placed.z);
    frame->SetOrientation(reference, turned.x, turned.y, turned.z, kWorldUp.x, kWorldUp.y, kWorldUp.z);
  }

  static float DegreesToRadians(float degrees) { return degrees * 3.14159265f / 180.0f; }

  TComponent& form_;
  bool devicesOn_ = false;
  bool dragging_ = false;
  std::set<DWORD> held_;
  bool pivotSet_ = false;
  D3DVECTOR pivot_{0, 0, 0};
  float nearest_ = 0;
};

}  // namespace

const char* const kDemoDevicesAndEnd = R"(  object Mouse: TKVIMouse
    Exclusive = False
    OnButton0Down = DemoButtonDown
    OnButton0Up = DemoButtonUp
    OnMove = DemoMouseMove
  end
  object Keyboard: TKVIKeyboard
    Exclusive = False
    OnKeyDown = DemoKeyDown
    OnKeyUp = DemoKeyUp
  end
end
)";

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
