// Placement operations of the frame base that act on its engine frame
// directly: placement relative to another frame, orientation from two
// vectors, rotation steps about the frame's own axes, and Clone.
#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/rm/EngineLock.h"

namespace kv {

namespace {
// The engine frames of this component and of ref, or false when either is
// missing.
bool BothFrames(TKV3DCustomFrame* self, TKV3DCustomFrame* ref, IDirect3DRMFrame3*& frame, IDirect3DRMFrame3*& refFrame) {
  frame = self->GetIDirect3DRMFrame3();
  refFrame = ref != nullptr ? ref->GetIDirect3DRMFrame3() : nullptr;
  return frame != nullptr && refFrame != nullptr;
}
}  // namespace

std::unique_ptr<TKV3DPosition> TKV3DCustomFrame::GetRefPosition(TKV3DCustomFrame* ref) {
  IDirect3DRMFrame3 *frame = nullptr, *refFrame = nullptr;
  if (!BothFrames(this, ref, frame, refFrame)) return nullptr;
  D3DVECTOR v{};
  frame->GetPosition(refFrame, &v);
  auto result = std::make_unique<TKV3DPosition>(nullptr);
  result->SetX(v.x);
  result->SetY(v.y);
  result->SetZ(v.z);
  return result;
}

std::unique_ptr<TKV3DRotation> TKV3DCustomFrame::GetRefRotation(TKV3DCustomFrame* ref) {
  IDirect3DRMFrame3 *frame = nullptr, *refFrame = nullptr;
  if (!BothFrames(this, ref, frame, refFrame)) return nullptr;
  D3DVECTOR axis{};
  D3DVALUE theta = 0;
  frame->GetRotation(refFrame, &axis, &theta);
  auto result = std::make_unique<TKV3DRotation>(nullptr);
  result->SetX(axis.x);
  result->SetY(axis.y);
  result->SetZ(axis.z);
  result->SetAngle(static_cast<float>(RadToDeg(theta)));
  return result;
}

std::unique_ptr<TKV3DVelocity> TKV3DCustomFrame::GetRefVelocity(TKV3DCustomFrame* ref) {
  IDirect3DRMFrame3 *frame = nullptr, *refFrame = nullptr;
  if (!BothFrames(this, ref, frame, refFrame)) return nullptr;
  D3DVECTOR v{};
  frame->GetVelocity(refFrame, &v, FALSE);
  auto result = std::make_unique<TKV3DVelocity>(nullptr);
  result->SetX(v.x);
  result->SetY(v.y);
  result->SetZ(v.z);
  return result;
}

std::unique_ptr<TKV3DOrientation> TKV3DCustomFrame::GetRefOrientation(TKV3DCustomFrame* ref) {
  IDirect3DRMFrame3 *frame = nullptr, *refFrame = nullptr;
  if (!BothFrames(this, ref, frame, refFrame)) return nullptr;
  D3DVECTOR dir{0, 0, 1}, up{0, 1, 0};
  frame->GetOrientation(refFrame, &dir, &up);
  auto result = std::make_unique<TKV3DOrientation>(nullptr);
  result->SetDirX(dir.x);
  result->SetDirY(dir.y);
  result->SetDirZ(dir.z);
  result->SetUpX(up.x);
  result->SetUpY(up.y);
  result->SetUpZ(up.z);
  return result;
}

void TKV3DCustomFrame::SetRefPosition(TKV3DCustomFrame* ref, TKV3DPosition* value) {
  IDirect3DRMFrame3 *frame = nullptr, *refFrame = nullptr;
  if (value == nullptr || !BothFrames(this, ref, frame, refFrame)) return;
  frame->SetPosition(refFrame, value->GetX(), value->GetY(), value->GetZ());
}

void TKV3DCustomFrame::SetRefRotation(TKV3DCustomFrame* ref, TKV3DRotation* value) {
  IDirect3DRMFrame3 *frame = nullptr, *refFrame = nullptr;
  if (value == nullptr || !BothFrames(this, ref, frame, refFrame)) return;
  frame->SetRotation(refFrame, value->GetX(), value->GetY(), value->GetZ(),
                     static_cast<D3DVALUE>(DegToRad(value->GetAngle())));
}

void TKV3DCustomFrame::SetRefVelocity(TKV3DCustomFrame* ref, TKV3DVelocity* value) {
  IDirect3DRMFrame3 *frame = nullptr, *refFrame = nullptr;
  if (value == nullptr || !BothFrames(this, ref, frame, refFrame)) return;
  frame->SetVelocity(refFrame, value->GetX(), value->GetY(), value->GetZ(), FALSE);
}

void TKV3DCustomFrame::SetRefOrientation(TKV3DCustomFrame* ref, TKV3DOrientation* value) {
  IDirect3DRMFrame3 *frame = nullptr, *refFrame = nullptr;
  if (value == nullptr || !BothFrames(this, ref, frame, refFrame)) return;
  frame->SetOrientation(refFrame, value->GetDirX(), value->GetDirY(), value->GetDirZ(), value->GetUpX(),
                        value->GetUpY(), value->GetUpZ());
}

void TKV3DCustomFrame::SetDirOrientation(const D3DVECTOR& dir, const D3DVECTOR& up) {
  if (frame_) frame_->SetOrientation(GetIRefFrame(), dir.x, dir.y, dir.z, up.x, up.y, up.z);
}

// ---- Rotation steps ------------------------------------------------------------
//
// A step sets a spin, moves the frame once and takes the spin away again. It
// holds the engine lock throughout, so that a Move of the scene on another
// thread (the view's render loop) can neither apply the spin a second time
// nor see it half done.

void TKV3DCustomFrame::TurnOnce(IDirect3DRMFrame3* ref, const D3DVECTOR& axis, std::int32_t degrees) {
  ReportDXError(frame_->SetRotation(ref, axis.x, axis.y, axis.z, static_cast<D3DVALUE>(DegToRad(degrees))), nullptr,
                false);
  ReportDXError(frame_->Move(1.0f), nullptr, false);
  ReportDXError(frame_->SetRotation(ref, 0, 0, 0, 0), nullptr, false);
}

void TKV3DCustomFrame::RotBetha(std::int32_t degrees) {
  if (!frame_) return;
  const rm::EngineLock lock;
  TKV3DOrientation& o = *orientation_;
  const D3DVECTOR up{o.GetUpX(), o.GetUpY(), o.GetUpZ()};
  TurnOnce(GetIRefFrame(), up, degrees);
}

void TKV3DCustomFrame::RotGamma(std::int32_t degrees) {
  if (!frame_) return;
  const rm::EngineLock lock;
  TKV3DOrientation& o = *orientation_;
  const D3DVECTOR dir{o.GetDirX(), o.GetDirY(), o.GetDirZ()};
  TurnOnce(GetIRefFrame(), dir, degrees);
}

void TKV3DCustomFrame::RotAlpha(std::int32_t degrees) {
  if (!frame_) return;
  const rm::EngineLock lock;
  IDirect3DRMFrame3* ref = GetIRefFrame();
  D3DVECTOR d0{}, u0{};
  ReportDXError(frame_->GetOrientation(ref, &d0, &u0), nullptr, false);
  // A quarter turn about up brings the direction onto the lateral axis.
  TKV3DOrientation& o = *orientation_;
  const D3DVECTOR up{o.GetUpX(), o.GetUpY(), o.GetUpZ()};
  ReportDXError(frame_->SetRotation(ref, up.x, up.y, up.z, static_cast<D3DVALUE>(DegToRad(90))), nullptr, false);
  ReportDXError(frame_->Move(1.0f), nullptr, false);
  D3DVECTOR lateral{}, u1{};
  ReportDXError(frame_->GetOrientation(ref, &lateral, &u1), nullptr, false);
  ReportDXError(frame_->SetOrientation(ref, d0.x, d0.y, d0.z, u1.x, u1.y, u1.z), nullptr, false);
  TurnOnce(ref, lateral, degrees);
}

// ---- Clone -------------------------------------------------------------------------

TKV3DFrame* TKV3DCustomFrame::Clone() {
  auto* result = new TKV3DFrame(Owner());  // owned by the owner (or the caller without one)
  result->SetParentFrame(ParentFrame());
  result->SetPosition(position_.get());
  result->SetRotation(rotation_.get());
  result->SetOrientation(orientation_.get());
  result->SetVelocity(velocity_.get());
  result->SetColor(GetColor());
  return result;
}

}  // namespace kv
