// Frame placement: the local matrix, combined transforms, and position,
// orientation, rotation and velocity read and written relative to any
// reference frame (null: world coordinates).
#include <cmath>

#include "korvane3d/rm/Frame.h"
#include "korvane3d/rm/FramePositions.h"

namespace kv::rm {
namespace {

bool Finite(std::initializer_list<float> values) {
  for (float v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace

Mat4 Frame::WorldMatrix() const {
  Mat4 world = local_;
  for (const Frame* p = parent_; p; p = p->parent_) world = world * p->local_;
  return world;
}

Mat4 Frame::ParentWorld() const { return parent_ ? parent_->WorldMatrix() : Mat4::Identity(); }

// Maps ref coordinates to this frame's parent coordinates.
bool Frame::RefToParent(IDirect3DRMFrame3* ref, Mat4& refToParent) const {
  Frame* r = From(ref);
  if (ref && !r) return false;
  if (r == parent_) {
    refToParent = Mat4::Identity();
    return true;
  }
  Mat4 parentInverse;
  if (!InvertAffine(ParentWorld(), parentInverse)) return false;
  refToParent = (r ? r->WorldMatrix() : Mat4::Identity()) * parentInverse;
  return true;
}

// Maps this frame's parent coordinates to ref coordinates.
bool Frame::ParentToRef(IDirect3DRMFrame3* ref, Mat4& parentToRef) const {
  Frame* r = From(ref);
  if (ref && !r) return false;
  // Relative to the frame's own parent (what components ask for) nothing
  // needs combining: deep hierarchies stay linear and the values exact.
  if (r == parent_) {
    parentToRef = Mat4::Identity();
    return true;
  }
  Mat4 refInverse;
  if (!InvertAffine(r ? r->WorldMatrix() : Mat4::Identity(), refInverse)) return false;
  parentToRef = ParentWorld() * refInverse;
  return true;
}

void Frame::Combine(D3DRMCOMBINETYPE type, const Mat4& n) {
  NotePlacementChange();
  switch (type) {
    case D3DRMCOMBINE_REPLACE: local_ = n; break;
    case D3DRMCOMBINE_BEFORE: local_ = n * local_; break;  // n acts first, in the frame's own axes
    case D3DRMCOMBINE_AFTER: local_ = local_ * n; break;   // n acts in the parent's axes
  }
}

HRESULT Frame::AddTransform(D3DRMCOMBINETYPE type, const D3DRMMATRIX4D matrix) {
  if (!matrix || type > D3DRMCOMBINE_AFTER) return D3DRMERR_BADVALUE;
  if (matrix[0][3] != 0 || matrix[1][3] != 0 || matrix[2][3] != 0 || matrix[3][3] != 1) return D3DRMERR_BADVALUE;
  for (int i = 0; i < 4; ++i)
    if (!Finite({matrix[i][0], matrix[i][1], matrix[i][2]})) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Combine(type, Mat4::FromArray(matrix));
  return D3DRM_OK;
}

HRESULT Frame::AddTranslation(D3DRMCOMBINETYPE type, D3DVALUE x, D3DVALUE y, D3DVALUE z) {
  if (type > D3DRMCOMBINE_AFTER || !Finite({x, y, z})) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Combine(type, TranslationMatrix({x, y, z}));
  return D3DRM_OK;
}

HRESULT Frame::AddScale(D3DRMCOMBINETYPE type, D3DVALUE sx, D3DVALUE sy, D3DVALUE sz) {
  if (type > D3DRMCOMBINE_AFTER || !Finite({sx, sy, sz})) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Combine(type, ScaleMatrix({sx, sy, sz}));
  return D3DRM_OK;
}

HRESULT Frame::AddRotation(D3DRMCOMBINETYPE type, D3DVALUE x, D3DVALUE y, D3DVALUE z, D3DVALUE theta) {
  if (type > D3DRMCOMBINE_AFTER || !Finite({x, y, z, theta})) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Combine(type, RotationMatrix({x, y, z}, theta));
  return D3DRM_OK;
}

HRESULT Frame::GetTransform(IDirect3DRMFrame3* ref, D3DRMMATRIX4D matrix) {
  if (!matrix) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Mat4 parentToRef;
  if (!ParentToRef(ref, parentToRef)) return D3DRMERR_BADVALUE;
  (local_ * parentToRef).ToArray(matrix);
  return D3DRM_OK;
}

HRESULT Frame::SetPosition(IDirect3DRMFrame3* ref, D3DVALUE x, D3DVALUE y, D3DVALUE z) {
  if (!Finite({x, y, z})) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Mat4 refToParent;
  if (!RefToParent(ref, refToParent)) return D3DRMERR_BADVALUE;
  local_.SetTranslation(TransformPoint({x, y, z}, refToParent));
  NotePlacementChange();
  return D3DRM_OK;
}

HRESULT Frame::GetPosition(IDirect3DRMFrame3* ref, D3DVECTOR* position) {
  if (!position) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Mat4 parentToRef;
  if (!ParentToRef(ref, parentToRef)) return D3DRMERR_BADVALUE;
  *position = TransformPoint(local_.Translation(), parentToRef);
  return D3DRM_OK;
}

HRESULT Frame::SetOrientation(IDirect3DRMFrame3* ref, D3DVALUE dx, D3DVALUE dy, D3DVALUE dz, D3DVALUE ux,
                              D3DVALUE uy, D3DVALUE uz) {
  Vec3 dir{dx, dy, dz}, up{ux, uy, uz};
  if (!Finite({dx, dy, dz, ux, uy, uz}) || IsZero(dir) || IsZero(up)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Mat4 refToParent;
  if (!RefToParent(ref, refToParent)) return D3DRMERR_BADVALUE;
  Vec3 z = Normalized(TransformDirection(dir, refToParent));
  Vec3 u = Normalized(TransformDirection(up, refToParent));
  Vec3 y = u - z * Dot(u, z);
  if (IsZero(z) || Length(y) < 1e-6f) return D3DRMERR_BADVALUE;  // up along the direction
  y = Normalized(y);
  local_.SetRow(0, Cross(y, z));
  local_.SetRow(1, y);
  local_.SetRow(2, z);
  NotePlacementChange();
  return D3DRM_OK;
}

HRESULT Frame::GetOrientation(IDirect3DRMFrame3* ref, D3DVECTOR* dir, D3DVECTOR* up) {
  if (!dir || !up) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Mat4 parentToRef;
  if (!ParentToRef(ref, parentToRef)) return D3DRMERR_BADVALUE;
  *dir = Normalized(TransformDirection(local_.Row(2), parentToRef));
  *up = Normalized(TransformDirection(local_.Row(1), parentToRef));
  return D3DRM_OK;
}

HRESULT Frame::SetRotation(IDirect3DRMFrame3* ref, D3DVALUE x, D3DVALUE y, D3DVALUE z, D3DVALUE theta) {
  if (!Finite({x, y, z, theta})) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Mat4 refToParent;
  if (!RefToParent(ref, refToParent)) return D3DRMERR_BADVALUE;
  // Kept as given (converted, not normalised) so that it reads back the same.
  rotationAxis_ = TransformDirection({x, y, z}, refToParent);
  rotationAngle_ = theta;
  return D3DRM_OK;
}

HRESULT Frame::GetRotation(IDirect3DRMFrame3* ref, D3DVECTOR* axis, D3DVALUE* theta) {
  if (!axis || !theta) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Mat4 parentToRef;
  if (!ParentToRef(ref, parentToRef)) return D3DRMERR_BADVALUE;
  *axis = TransformDirection(rotationAxis_, parentToRef);
  *theta = rotationAngle_;
  return D3DRM_OK;
}

HRESULT Frame::SetVelocity(IDirect3DRMFrame3* ref, D3DVALUE x, D3DVALUE y, D3DVALUE z, BOOL withRotation) {
  if (!Finite({x, y, z})) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Mat4 refToParent;
  if (!RefToParent(ref, refToParent)) return D3DRMERR_BADVALUE;
  velocity_ = TransformDirection({x, y, z}, refToParent);
  velocityWithRotation_ = withRotation != FALSE;
  return D3DRM_OK;
}

HRESULT Frame::GetVelocity(IDirect3DRMFrame3* ref, D3DVECTOR* velocity, BOOL) {
  if (!velocity) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Mat4 parentToRef;
  if (!ParentToRef(ref, parentToRef)) return D3DRMERR_BADVALUE;
  *velocity = TransformDirection(velocity_, parentToRef);
  return D3DRM_OK;
}

HRESULT Frame::Transform(D3DVECTOR* dst, const D3DVECTOR* src) {
  if (!dst || !src) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *dst = TransformPoint(*src, WorldMatrix());
  return D3DRM_OK;
}

HRESULT Frame::InverseTransform(D3DVECTOR* dst, const D3DVECTOR* src) {
  if (!dst || !src) return D3DRMERR_BADVALUE;
  EngineLock lock;
  Mat4 inverse;
  if (!InvertAffine(WorldMatrix(), inverse)) return D3DRMERR_BADVALUE;
  *dst = TransformPoint(*src, inverse);
  return D3DRM_OK;
}

}  // namespace kv::rm
