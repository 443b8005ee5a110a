// D3DRM's free vector and quaternion functions.
#include <cmath>

#include "korvane3d/rm/D3DRM.h"
#include "korvane3d/rm/Math.h"

namespace kv {

using kv::rm::Vec3;

D3DVECTOR* D3DRMVectorAdd(D3DVECTOR* d, const D3DVECTOR* s1, const D3DVECTOR* s2) {
  *d = kv::rm::operator+(*s1, *s2);
  return d;
}

D3DVECTOR* D3DRMVectorSubtract(D3DVECTOR* d, const D3DVECTOR* s1, const D3DVECTOR* s2) {
  *d = kv::rm::operator-(*s1, *s2);
  return d;
}

D3DVECTOR* D3DRMVectorScale(D3DVECTOR* d, const D3DVECTOR* s, D3DVALUE factor) {
  *d = kv::rm::operator*(*s, factor);
  return d;
}

D3DVECTOR* D3DRMVectorCrossProduct(D3DVECTOR* d, const D3DVECTOR* s1, const D3DVECTOR* s2) {
  *d = kv::rm::Cross(*s1, *s2);
  return d;
}

D3DVALUE D3DRMVectorDotProduct(const D3DVECTOR* s1, const D3DVECTOR* s2) { return kv::rm::Dot(*s1, *s2); }

D3DVALUE D3DRMVectorModulus(const D3DVECTOR* v) { return kv::rm::Length(*v); }

D3DVECTOR* D3DRMVectorNormalize(D3DVECTOR* v) {
  Vec3 n = kv::rm::Normalized(*v);
  *v = kv::rm::IsZero(n) ? Vec3{1, 0, 0} : n;
  return v;
}

D3DVECTOR* D3DRMVectorReflect(D3DVECTOR* d, const D3DVECTOR* ray, const D3DVECTOR* normal) {
  float k = 2 * kv::rm::Dot(*normal, *ray);
  *d = kv::rm::operator-(kv::rm::operator*(*normal, k), *ray);
  return d;
}

D3DVECTOR* D3DRMVectorRotate(D3DVECTOR* d, const D3DVECTOR* v, const D3DVECTOR* axis, D3DVALUE theta) {
  // The caller's axis is left untouched; the rotation uses a normalised copy.
  Vec3 turned = kv::rm::TransformDirection(*v, kv::rm::RotationMatrix(*axis, theta));
  Vec3 unit = kv::rm::Normalized(turned);
  *d = kv::rm::IsZero(unit) ? Vec3{1, 0, 0} : unit;
  return d;
}

D3DRMQUATERNION* D3DRMQuaternionFromRotation(D3DRMQUATERNION* q, const D3DVECTOR* axis, D3DVALUE theta) {
  Vec3 u = kv::rm::Normalized(*axis);
  q->s = std::cos(theta / 2);
  q->v = kv::rm::operator*(u, std::sin(theta / 2));
  return q;
}

D3DRMQUATERNION* D3DRMQuaternionMultiply(D3DRMQUATERNION* q, const D3DRMQUATERNION* a, const D3DRMQUATERNION* b) {
  D3DRMQUATERNION r;
  r.s = a->s * b->s - kv::rm::Dot(a->v, b->v);
  r.v = kv::rm::operator+(kv::rm::operator+(kv::rm::operator*(b->v, a->s), kv::rm::operator*(a->v, b->s)),
                          kv::rm::Cross(a->v, b->v));
  *q = r;
  return q;
}

void D3DRMMatrixFromQuaternion(D3DRMMATRIX4D m, const D3DRMQUATERNION* q) {
  // D3DRM's layout (checked against its published numbers): row i holds
  // the i-th row of the usual column-vector matrix; q is not normalised.
  float w = q->s, x = q->v.x, y = q->v.y, z = q->v.z;
  float r[4][4] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w), 0},
                   {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w), 0},
                   {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y), 0},
                   {0, 0, 0, 1}};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m[i][j] = r[i][j];
}

}  // namespace kv
