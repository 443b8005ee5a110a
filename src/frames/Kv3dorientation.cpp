// The orientation of a frame: direction and up relative to its reference
// frame, held back while the owner is loaded from a form, and the turning
// tool that computes a turn on a scratch copy of the engine frame.
#include <cmath>
#include <utility>

#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/rm/EngineLock.h"

namespace kv {

const TClassInfo& TKV3DOrientation::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DOrientation, TPersistent>("TKV3DOrientation", [](PropertyBuilder<TKV3DOrientation>& p) {
    p.Boolean("Reset", &TKV3DOrientation::Reset, &TKV3DOrientation::SetReset);
    p.Boolean("AngleRotSelf", &TKV3DOrientation::AngleRotSelf, &TKV3DOrientation::SetAngleRotSelf);
    p.Float("AngleRotX", &TKV3DOrientation::AngleRotX, detail::FiniteSetter(&TKV3DOrientation::SetAngleRotX));
    p.Float("AngleRotY", &TKV3DOrientation::AngleRotY, detail::FiniteSetter(&TKV3DOrientation::SetAngleRotY));
    p.Float("AngleRotZ", &TKV3DOrientation::AngleRotZ, detail::FiniteSetter(&TKV3DOrientation::SetAngleRotZ));
    p.Float("DirX", &TKV3DOrientation::GetDirX, detail::FiniteSetter(&TKV3DOrientation::SetDirX));
    p.Float("DirY", &TKV3DOrientation::GetDirY, detail::FiniteSetter(&TKV3DOrientation::SetDirY));
    p.Float("DirZ", &TKV3DOrientation::GetDirZ, detail::FiniteSetter(&TKV3DOrientation::SetDirZ));
    p.Float("UpX", &TKV3DOrientation::GetUpX, detail::FiniteSetter(&TKV3DOrientation::SetUpX));
    p.Float("UpY", &TKV3DOrientation::GetUpY, detail::FiniteSetter(&TKV3DOrientation::SetUpY));
    p.Float("UpZ", &TKV3DOrientation::GetUpZ, detail::FiniteSetter(&TKV3DOrientation::SetUpZ));
  });
  return info;
}

TKV3DOrientation::TKV3DOrientation(TKV3DCustomFrame* ownerFrame) : ownerFrame_(ownerFrame) {}

TKV3DOrientation::~TKV3DOrientation() { ownerFrame_ = nullptr; }

TPersistent* TKV3DOrientation::GetOwner() const { return ownerFrame_; }

IDirect3DRMFrame3* TKV3DOrientation::LiveFrame() const {
  return ownerFrame_ != nullptr ? ownerFrame_->GetIDirect3DRMFrame3() : nullptr;
}

bool TKV3DOrientation::Loading() const {
  if (ownerFrame_ == nullptr) return false;
  const TComponentState state = ownerFrame_->ComponentState();
  return state.Contains(csLoading) || state.Contains(csReading);
}

bool TKV3DOrientation::ReadingProperties() const {
  if (ownerFrame_ == nullptr) return false;
  const TComponentState state = ownerFrame_->ComponentState();
  return state.Contains(csLoading) && state.Contains(csReading);
}

void TKV3DOrientation::ReadBack() {
  if (IDirect3DRMFrame3* f = LiveFrame()) f->GetOrientation(ownerFrame_->GetIRefFrame(), &readBackDir_, &readBackUp_);
}

float TKV3DOrientation::GetDirX() {
  ReadBack();
  if (LiveFrame() != nullptr) dir_.x = readBackDir_.x;
  return dir_.x;
}
float TKV3DOrientation::GetDirY() {
  ReadBack();
  if (LiveFrame() != nullptr) dir_.y = readBackDir_.y;
  return dir_.y;
}
float TKV3DOrientation::GetDirZ() {
  ReadBack();
  if (LiveFrame() != nullptr) dir_.z = readBackDir_.z;
  return dir_.z;
}
float TKV3DOrientation::GetUpX() {
  ReadBack();
  if (LiveFrame() != nullptr) up_.x = readBackUp_.x;
  return up_.x;
}
float TKV3DOrientation::GetUpY() {
  ReadBack();
  if (LiveFrame() != nullptr) up_.y = readBackUp_.y;
  return up_.y;
}
float TKV3DOrientation::GetUpZ() {
  ReadBack();
  if (LiveFrame() != nullptr) up_.z = readBackUp_.z;
  return up_.z;
}

void TKV3DOrientation::Update() {
  if (ownerFrame_ == nullptr || Loading()) return;
  UpdateRef();
}

void TKV3DOrientation::UpdateRef() {
  orientationRefFrame_ = ownerFrame_ != nullptr ? ownerFrame_->GetIRefFrame() : nullptr;
  const float dx = GetDirX(), dy = GetDirY(), dz = GetDirZ();
  const float ux = GetUpX(), uy = GetUpY(), uz = GetUpZ();
  dir_ = {dx, dy, dz};
  up_ = {ux, uy, uz};
}

void TKV3DOrientation::Change() {
  IDirect3DRMFrame3* f = LiveFrame();
  if (f == nullptr || Loading()) return;
  // A zero vector (nothing set yet) is refused by the engine, which keeps
  // the frame as it is.
  f->SetOrientation(ownerFrame_->GetIRefFrame(), dir_.x, dir_.y, dir_.z, up_.x, up_.y, up_.z);
}

void TKV3DOrientation::SetComponent(float& field, float value) {
  if (!std::isfinite(value) || field == value) return;
  Update();
  field = value;
  Change();
}

void TKV3DOrientation::SetDirX(float value) { SetComponent(dir_.x, value); }
void TKV3DOrientation::SetDirY(float value) { SetComponent(dir_.y, value); }
void TKV3DOrientation::SetDirZ(float value) { SetComponent(dir_.z, value); }
void TKV3DOrientation::SetUpX(float value) { SetComponent(up_.x, value); }
void TKV3DOrientation::SetUpY(float value) { SetComponent(up_.y, value); }
void TKV3DOrientation::SetUpZ(float value) { SetComponent(up_.z, value); }

bool TKV3DOrientation::Assign(const TPersistent* source) {
  auto* from = const_cast<TKV3DOrientation*>(dynamic_cast<const TKV3DOrientation*>(source));
  if (source == nullptr || ownerFrame_ == nullptr) return true;
  if (from == nullptr) return TPersistent::Assign(source);
  const float dx = from->GetDirX(), dy = from->GetDirY(), dz = from->GetDirZ();
  const float ux = from->GetUpX(), uy = from->GetUpY(), uz = from->GetUpZ();
  dir_ = {dx, dy, dz};
  up_ = {ux, uy, uz};
  Change();
  return true;
}

void TKV3DOrientation::SetReset(bool /*value*/) {
  dir_ = {0, 0, 1};
  up_ = {0, 1, 0};
  angleX_ = angleY_ = angleZ_ = 0;
  Change();
  reset_ = false;
}

void TKV3DOrientation::ChangeRot() {
  dir_ = readBackDir_;
  up_ = readBackUp_;
  Change();
}

void TKV3DOrientation::Restart() {
  // Components a form leaves out are zero: nothing of the orientation the
  // frame had before may blend into the one the form gives.
  dir_ = up_ = D3DVECTOR{};
  angleX_ = angleY_ = angleZ_ = 0;
  angleRotSelf_ = false;
  reset_ = false;
  restarted_ = true;
}

void TKV3DOrientation::FinishReading() {
  constexpr auto zero = [](const D3DVECTOR& v) { return v.x == 0 && v.y == 0 && v.z == 0; };
  if (std::exchange(restarted_, false) && zero(dir_) && zero(up_)) {
    dir_ = {0, 0, 1};
    up_ = {0, 1, 0};
  }
  Change();
}

void TKV3DOrientation::SetAngleRotX(float value) { Turn(Axis::X, angleX_, value); }
void TKV3DOrientation::SetAngleRotY(float value) { Turn(Axis::Y, angleY_, value); }
void TKV3DOrientation::SetAngleRotZ(float value) { Turn(Axis::Z, angleZ_, value); }

void TKV3DOrientation::Turn(Axis axis, float& angleField, float degrees) {
  // Angles in a form file are dropped: the orientation itself comes back
  // through the direction and up components.
  if (ReadingProperties() || !std::isfinite(degrees)) return;
  angleField = degrees;
  UpdateRef();
  IDirect3DRMFrame3* f = LiveFrame();
  if (f == nullptr) return;
  // The scratch copy hangs beside the frame from the moment it is made until
  // it is taken out again: under the engine lock throughout, no Move of the
  // scene on another thread reaches it (its callbacks, its spin, copies of
  // the children) or sees the frame half turned.
  const rm::EngineLock lock;
  ComPtr<IDirect3DRMFrame3> scratch;
  if (FAILED(f->Clone(nullptr, IID_IDirect3DRMFrame3, reinterpret_cast<void**>(scratch.ReleaseAndGetAddressOf()))) ||
      !scratch) {
    return;  // no copy to turn: the frame stays as it is
  }
  IDirect3DRMFrame3* ref = ownerFrame_->GetIRefFrame();
  // The copy carries the frame's callbacks and copies of its children; none
  // of them may run or stay behind, so they go before the copy moves.
  ReportDXError(scratch->DeleteMoveCallback(FrameMoveCallback, ownerFrame_), nullptr, false);
  ComPtr<IDirect3DRMFrameArray> children;
  ReportDXError(scratch->GetChildren(children.ReleaseAndGetAddressOf()), nullptr, false);
  for (DWORD i = 0; children && i < children->GetSize(); ++i) {
    ComPtr<IDirect3DRMFrame3> child;
    children->GetElement(i, child.ReleaseAndGetAddressOf());
    if (child) ReportDXError(scratch->DeleteChild(child.Get()), nullptr, false);
  }
  TurnScratch(scratch.Get(), ref, axis, degrees);
  scratch->GetOrientation(ref, &readBackDir_, &readBackUp_);
  f->SetOrientation(ref, readBackDir_.x, readBackDir_.y, readBackDir_.z, readBackUp_.x, readBackUp_.y,
                    readBackUp_.z);
  DisposeScratch(scratch.Get());
}

namespace {
// Turns a frame about an axis (in ref's coordinates) by one step of the
// engine's own rotation.
void TurnAbout(IDirect3DRMFrame3* frame, IDirect3DRMFrame3* ref, const D3DVECTOR& a, double degrees) {
  frame->SetRotation(ref, a.x, a.y, a.z, static_cast<D3DVALUE>(DegToRad(degrees)));
  frame->Move(1.0f);
  frame->SetRotation(ref, a.x, a.y, a.z, 0);
}
}  // namespace

void TKV3DOrientation::TurnScratch(IDirect3DRMFrame3* c, IDirect3DRMFrame3* ref, Axis axis, float degrees) {
  if (angleRotSelf_) {
    if (axis == Axis::X) {
      // The lateral axis: the direction after a quarter turn about up.
      c->SetOrientation(ref, dir_.x, dir_.y, dir_.z, up_.x, up_.y, up_.z);
      D3DVECTOR lateralUp{};
      TurnAbout(c, ref, up_, 90);
      c->GetOrientation(ref, &readBackDir_, &lateralUp);
      TurnAbout(c, ref, up_, -90);
      TurnAbout(c, ref, readBackDir_, degrees);
    } else {
      TurnAbout(c, ref, axis == Axis::Y ? up_ : dir_, degrees);
    }
    return;
  }
  if (axis == Axis::X) {
    const float dx = GetDirX(), dy = GetDirY(), dz = GetDirZ();
    const float ux = GetUpX(), uy = GetUpY(), uz = GetUpZ();
    c->SetOrientation(ref, dx, dy, dz, ux, uy, uz);
  }
  const D3DVECTOR unit = axis == Axis::X ? D3DVECTOR{1, 0, 0} : axis == Axis::Y ? D3DVECTOR{0, 1, 0} : D3DVECTOR{0, 0, 1};
  TurnAbout(c, ref, unit, degrees);
}

void TKV3DOrientation::DisposeScratch(IDirect3DRMFrame3* scratch) {
  // Out of whatever frame the copy hangs under (the parent's, or the shared
  // root for a frame without parent), so no trace of it stays.
  ComPtr<IDirect3DRMFrame3> parent;
  scratch->GetParent(parent.ReleaseAndGetAddressOf());
  if (parent) ReportDXError(parent->DeleteChild(scratch), nullptr, false);
}

}  // namespace kv
