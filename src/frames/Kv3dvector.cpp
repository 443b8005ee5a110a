// Position, rotation and velocity: vectors that read and write the owner
// frame's engine frame relative to its reference frame.
#include <cmath>
#include <optional>
#include <utility>

#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/frames/SceneViewport.h"
#include "korvane3d/rm/DeviceInterfaces.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/package/Kv.h"

namespace kv {

// ---- TKV3DVectorProperty -------------------------------------------------------

const TClassInfo& TKV3DVectorProperty::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DVectorProperty, TPersistent>("TKV3DVectorProperty");
  return info;
}

TKV3DVectorProperty::TKV3DVectorProperty(TKV3DCustomFrame* ownerFrame) : ownerFrame_(ownerFrame) {}

TKV3DVectorProperty::~TKV3DVectorProperty() { ownerFrame_ = nullptr; }

TPersistent* TKV3DVectorProperty::GetOwner() const { return ownerFrame_; }

IDirect3DRMFrame3* TKV3DVectorProperty::LiveFrame() const {
  return ownerFrame_ != nullptr ? ownerFrame_->GetIDirect3DRMFrame3() : nullptr;
}

bool TKV3DVectorProperty::Store(float& field, float value) {
  // A non-finite value would poison the frame's matrix: refused.
  if (!std::isfinite(value) || field == value) return false;
  field = value;
  return true;
}

bool TKV3DVectorProperty::Assign(const TPersistent* source) {
  auto* from = const_cast<TKV3DVectorProperty*>(dynamic_cast<const TKV3DVectorProperty*>(source));
  if (source == nullptr) return true;
  if (from == nullptr) return TPersistent::Assign(source);
  x_ = from->GetX();
  y_ = from->GetY();
  z_ = from->GetZ();
  Change();
  return true;
}

bool TKV3DVectorProperty::Reading() const {
  return ownerFrame_ != nullptr && ownerFrame_->ComponentState().Contains(csReading);
}

void TKV3DVectorProperty::SetX(float value) {
  if (Reading()) componentsStreamed_ = true;
  if (Store(x_, value)) Change();
}
void TKV3DVectorProperty::SetY(float value) {
  if (Reading()) componentsStreamed_ = true;
  if (Store(y_, value)) Change();
}
void TKV3DVectorProperty::SetZ(float value) {
  if (Reading()) componentsStreamed_ = true;
  if (Store(z_, value)) Change();
}

float TKV3DVectorProperty::GetModulus() {
  D3DVECTOR v{};
  v.z = GetZ();
  v.y = GetY();
  v.x = GetX();
  modulus_ = D3DRMVectorModulus(&v);
  return modulus_;
}

void TKV3DVectorProperty::SetModulus(float value) {
  if (!std::isfinite(value)) return;
  if (Reading()) {
    // Rescaling now would scale the start vector (the camera's z -10), not
    // the one the form's components are about to give.
    streamedModulus_ = value;
    return;
  }
  if (GetModulus() == value) return;
  float factor = 0;
  if (GetModulus() > 0) factor = value / GetModulus();
  SetX(GetX() * factor);
  SetY(GetY() * factor);
  SetZ(GetZ() * factor);
  modulus_ = value;
}

void TKV3DVectorProperty::Restart() {
  x_ = y_ = z_ = 0;
  modulus_ = 0;
  streamedModulus_.reset();
  componentsStreamed_ = false;
  Change();
}

void TKV3DVectorProperty::FinishReading() {
  const std::optional<float> modulus = std::exchange(streamedModulus_, std::nullopt);
  const bool componentsGiven = std::exchange(componentsStreamed_, false);
  if (modulus && !componentsGiven) SetModulus(*modulus);
}

// ---- TKV3DPosition --------------------------------------------------------------------

const TClassInfo& TKV3DPosition::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DPosition, TKV3DVectorProperty>("TKV3DPosition", [](PropertyBuilder<TKV3DPosition>& p) {
    p.Float("Modulus", &TKV3DPosition::GetModulus, detail::FiniteSetter(&TKV3DPosition::SetModulus)).Stored(false);
    p.Float("X", &TKV3DPosition::GetX, detail::FiniteSetter(&TKV3DPosition::SetX));
    p.Float("Y", &TKV3DPosition::GetY, detail::FiniteSetter(&TKV3DPosition::SetY));
    p.Float("Z", &TKV3DPosition::GetZ, detail::FiniteSetter(&TKV3DPosition::SetZ)).StoredIf(&TKV3DPosition::IsZStored);
    p.Float("ViewX", &TKV3DPosition::GetViewX, detail::FiniteSetter(&TKV3DPosition::SetViewX));
    p.Float("ViewY", &TKV3DPosition::GetViewY, detail::FiniteSetter(&TKV3DPosition::SetViewY));
  });
  return info;
}

bool TKV3DPosition::Assign(const TPersistent* source) { return TKV3DVectorProperty::Assign(source); }

bool TKV3DPosition::IsZStored() const { return const_cast<TKV3DPosition*>(this)->GetZ() != startZ_; }

void TKV3DPosition::Restart() {
  viewX_ = viewY_ = 0;
  TKV3DVectorProperty::Restart();
  if (Store(z_, startZ_)) Change();
}

namespace {
D3DVECTOR FetchPosition(IDirect3DRMFrame3* frame, IDirect3DRMFrame3* ref) {
  D3DVECTOR v{};
  frame->GetPosition(ref, &v);
  return v;
}
}  // namespace

float TKV3DPosition::GetX() {
  if (IDirect3DRMFrame3* f = LiveFrame()) x_ = FetchPosition(f, ownerFrame_->GetIRefFrame()).x;
  return x_;
}
float TKV3DPosition::GetY() {
  if (IDirect3DRMFrame3* f = LiveFrame()) y_ = FetchPosition(f, ownerFrame_->GetIRefFrame()).y;
  return y_;
}
float TKV3DPosition::GetZ() {
  if (IDirect3DRMFrame3* f = LiveFrame()) z_ = FetchPosition(f, ownerFrame_->GetIRefFrame()).z;
  return z_;
}

void TKV3DPosition::Change() {
  if (IDirect3DRMFrame3* f = LiveFrame()) f->SetPosition(ownerFrame_->GetIRefFrame(), x_, y_, z_);
}

bool TKV3DPosition::Shown(IDirect3DRMViewport2*& viewport, IDirect3DRMFrame3*& scene) {
  // The parent first: it is read at once, the viewport is looked for.
  if (LiveFrame() == nullptr || ownerFrame_->ParentFrame() == nullptr) return false;
  viewport = ownerFrame_->GetIViewport();
  if (viewport == nullptr) return false;
  scene = ownerFrame_->GetIScene();
  return scene != nullptr;
}

bool TKV3DPosition::ScreenOf(D3DRMVECTOR4D& screen, IDirect3DRMViewport2* viewport, IDirect3DRMFrame3* scene) {
  D3DVECTOR world = FetchPosition(LiveFrame(), scene);
  screen = D3DRMVECTOR4D{};
  return SUCCEEDED(viewport->Transform(&screen, &world));
}

namespace {
// A homogeneous w of 0 or below is not divided by.
float ScreenCoordinate(float h, float w) { return w > 0 ? h / w : h; }
}  // namespace

float TKV3DPosition::GetViewX() {
  IDirect3DRMViewport2* viewport = nullptr;
  IDirect3DRMFrame3* scene = nullptr;
  D3DRMVECTOR4D h{};
  if (Shown(viewport, scene) && ScreenOf(h, viewport, scene)) viewX_ = ScreenCoordinate(h.x, h.w);
  return viewX_;
}

float TKV3DPosition::GetViewY() {
  IDirect3DRMViewport2* viewport = nullptr;
  IDirect3DRMFrame3* scene = nullptr;
  D3DRMVECTOR4D h{};
  if (Shown(viewport, scene) && ScreenOf(h, viewport, scene)) viewY_ = ScreenCoordinate(h.y, h.w);
  return viewY_;
}

void TKV3DPosition::MoveOnScreen(float screenX, float screenY) {
  IDirect3DRMViewport2* viewport = nullptr;
  IDirect3DRMFrame3* scene = nullptr;
  D3DRMVECTOR4D h{};
  if (!Shown(viewport, scene) || !ScreenOf(h, viewport, scene)) return;
  // Same depth and w: the frame slides parallel to the screen.
  h.x = screenX * h.w;
  h.y = screenY * h.w;
  D3DVECTOR world{};
  if (SUCCEEDED(viewport->InverseTransform(&world, &h))) {
    LiveFrame()->SetPosition(scene, world.x, world.y, world.z);
  }
}

void TKV3DPosition::SetViewX(float value) {
  if (!std::isfinite(value)) return;
  viewX_ = value;
  MoveOnScreen(viewX_, GetViewY());
}

void TKV3DPosition::SetViewY(float value) {
  if (!std::isfinite(value)) return;
  viewY_ = value;
  MoveOnScreen(GetViewX(), viewY_);
}

// ---- TKV3DRotation --------------------------------------------------------------------

const TClassInfo& TKV3DRotation::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DRotation, TKV3DVectorProperty>("TKV3DRotation", [](PropertyBuilder<TKV3DRotation>& p) {
    p.Float("X", &TKV3DRotation::GetX, detail::FiniteSetter(&TKV3DRotation::SetX));
    p.Float("Y", &TKV3DRotation::GetY, detail::FiniteSetter(&TKV3DRotation::SetY));
    p.Float("Z", &TKV3DRotation::GetZ, detail::FiniteSetter(&TKV3DRotation::SetZ));
    p.Float("Angle", &TKV3DRotation::GetAngle, detail::FiniteSetter(&TKV3DRotation::SetAngle));
  });
  return info;
}

bool TKV3DRotation::Assign(const TPersistent* source) {
  auto* from = const_cast<TKV3DRotation*>(dynamic_cast<const TKV3DRotation*>(source));
  if (source == nullptr) return true;
  if (from == nullptr) return TKV3DVectorProperty::Assign(source);
  x_ = from->GetX();
  y_ = from->GetY();
  z_ = from->GetZ();
  angle_ = from->GetAngle();
  Change();
  return true;
}

void TKV3DRotation::Fetch(D3DVECTOR& axis) {
  D3DVALUE theta = 0;
  axis = D3DVECTOR{};
  LiveFrame()->GetRotation(ownerFrame_->GetIRefFrame(), &axis, &theta);
  fetchedAngle_ = static_cast<float>(RadToDeg(theta));
}

float TKV3DRotation::GetX() {
  D3DVECTOR axis{};
  if (LiveFrame() != nullptr) {
    Fetch(axis);
    x_ = axis.x;
  }
  return x_;
}
float TKV3DRotation::GetY() {
  D3DVECTOR axis{};
  if (LiveFrame() != nullptr) {
    Fetch(axis);
    y_ = axis.y;
  }
  return y_;
}
float TKV3DRotation::GetZ() {
  D3DVECTOR axis{};
  if (LiveFrame() != nullptr) {
    Fetch(axis);
    z_ = axis.z;
  }
  return z_;
}
float TKV3DRotation::GetAngle() {
  D3DVECTOR axis{};
  if (LiveFrame() != nullptr) {
    Fetch(axis);
    angle_ = fetchedAngle_;
  }
  return angle_;
}

void TKV3DRotation::SetAngle(float value) {
  if (Store(angle_, value)) Change();
}

void TKV3DRotation::Restart() {
  angle_ = 0;
  TKV3DVectorProperty::Restart();
}

void TKV3DRotation::Change() {
  if (IDirect3DRMFrame3* f = LiveFrame()) {
    f->SetRotation(ownerFrame_->GetIRefFrame(), x_, y_, z_, static_cast<D3DVALUE>(DegToRad(angle_)));
  }
}

// ---- TKV3DVelocity ---------------------------------------------------------------------

const TClassInfo& TKV3DVelocity::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DVelocity, TKV3DVectorProperty>("TKV3DVelocity", [](PropertyBuilder<TKV3DVelocity>& p) {
    p.Float("Modulus", &TKV3DVelocity::GetModulus, detail::FiniteSetter(&TKV3DVelocity::SetModulus)).Stored(false);
    p.Float("X", &TKV3DVelocity::GetX, detail::FiniteSetter(&TKV3DVelocity::SetX));
    p.Float("Y", &TKV3DVelocity::GetY, detail::FiniteSetter(&TKV3DVelocity::SetY));
    p.Float("Z", &TKV3DVelocity::GetZ, detail::FiniteSetter(&TKV3DVelocity::SetZ));
  });
  return info;
}

namespace {
D3DVECTOR FetchVelocity(IDirect3DRMFrame3* frame, IDirect3DRMFrame3* ref) {
  D3DVECTOR v{};
  frame->GetVelocity(ref, &v, FALSE);
  return v;
}
}  // namespace

float TKV3DVelocity::GetX() {
  if (IDirect3DRMFrame3* f = LiveFrame()) x_ = FetchVelocity(f, ownerFrame_->GetIRefFrame()).x;
  return x_;
}
float TKV3DVelocity::GetY() {
  if (IDirect3DRMFrame3* f = LiveFrame()) y_ = FetchVelocity(f, ownerFrame_->GetIRefFrame()).y;
  return y_;
}
float TKV3DVelocity::GetZ() {
  if (IDirect3DRMFrame3* f = LiveFrame()) z_ = FetchVelocity(f, ownerFrame_->GetIRefFrame()).z;
  return z_;
}

void TKV3DVelocity::Change() {
  if (IDirect3DRMFrame3* f = LiveFrame()) f->SetVelocity(ownerFrame_->GetIRefFrame(), x_, y_, z_, FALSE);
}

}  // namespace kv
