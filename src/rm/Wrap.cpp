#include "korvane3d/rm/Wrap.h"

#include <cmath>
#include <numbers>

#include "korvane3d/rm/MeshBuilder.h"

namespace kv::rm {
namespace {

constexpr float kTwoPi = 2 * std::numbers::pi_v<float>;

// Angle about the wrap's z axis, from +y towards +x, in [0, 2 pi).
float AroundAxis(float x, float y) {
  float theta = std::atan2(x, y);
  return theta < 0 ? theta + kTwoPi : theta;
}

std::array<float, 2> Scaled(const WrapParams& p, float u, float v) {
  return {p.textureScale[0] * u - p.textureOrigin[0], p.textureScale[1] * v - p.textureOrigin[1]};
}

std::array<float, 2> SphereMap(const WrapParams& p, Vec3 q) {
  float length = Length(q);
  float phi = length > 0 ? std::acos(std::clamp(q.z / length, -1.0f, 1.0f)) : 0.0f;
  return Scaled(p, AroundAxis(q.x, q.y) / kTwoPi, phi / std::numbers::pi_v<float>);
}

// One normal per vertex: the average of the normals its corners use.
std::vector<Vec3> VertexNormals(const MeshGeometry& g) {
  std::vector<Vec3> sums(g.positions.size());
  for (std::size_t c = 0; c < g.cornerVertex.size(); ++c)
    if (g.cornerNormal[c] < g.normals.size()) sums[g.cornerVertex[c]] = sums[g.cornerVertex[c]] + g.normals[g.cornerNormal[c]];
  for (Vec3& n : sums) n = Normalized(n);
  return sums;
}

}  // namespace

HRESULT Wrap::Create(WrapParams params, IDirect3DRMFrame3* ref, Vec3 dir, Vec3 up, ComPtr<Wrap>& out) {
  out = nullptr;
  Frame* refFrame = Frame::From(ref);
  if (ref && !refFrame) return D3DRMERR_BADOBJECT;
  if (params.type > D3DRMWRAP_BOX) return D3DRMERR_BADVALUE;
  for (float v : {params.origin.x, params.origin.y, params.origin.z, dir.x, dir.y, dir.z, up.x, up.y, up.z,
                  params.textureOrigin[0], params.textureOrigin[1], params.textureScale[0], params.textureScale[1]})
    if (!std::isfinite(v)) return D3DRMERR_BADVALUE;
  Vec3 z = Normalized(dir);
  Vec3 u = Normalized(up);
  Vec3 y = u - z * Dot(u, z);
  if (IsZero(z) || IsZero(u) || Length(y) < 1e-6f) return D3DRMERR_BADVALUE;
  params.axisZ = z;
  params.axisY = Normalized(y);
  params.axisX = Cross(params.axisY, z);
  out = ComPtr<Wrap>::Adopt(new Wrap);
  out->params_ = params;
  EngineLock lock;
  out->ref_ = FrameLink(refFrame);
  return D3DRM_OK;
}

HRESULT Wrap::QueryInterface(REFIID iid, void** out) {
  return AnswerQuery(iid, out, {IID_IDirect3DRMObject, IID_IDirect3DRMWrap}, static_cast<IDirect3DRMWrap*>(this));
}

HRESULT Wrap::Clone(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return D3DRMERR_BADVALUE;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  EngineLock lock;
  auto copy = ComPtr<Wrap>::Adopt(new Wrap);
  copy->CopyObjectDataFrom(*this);
  copy->params_ = params_;
  copy->ref_ = ref_;
  return copy->QueryInterface(iid, out);
}

std::array<float, 2> Wrap::Map(Vec3 point, Vec3 normal) const {
  const WrapParams& p = params_;
  if (p.type == D3DRMWRAP_CHROME) {
    // The eye sits at the origin of these coordinates; the reflected ray,
    // in the wrap's axes, picks the texel as a sphere wrap would.
    Vec3 e = Normalized(point);
    Vec3 r = e - normal * (2 * Dot(e, normal));
    return SphereMap(p, {Dot(r, p.axisX), Dot(r, p.axisY), Dot(r, p.axisZ)});
  }
  Vec3 q = point - p.origin;
  float x = Dot(q, p.axisX), y = Dot(q, p.axisY), z = Dot(q, p.axisZ);
  switch (p.type) {
    case D3DRMWRAP_CYLINDER: return Scaled(p, AroundAxis(x, y) / kTwoPi, z);
    case D3DRMWRAP_SPHERE: return SphereMap(p, {x, y, z});
    case D3DRMWRAP_BOX: {
      // Project onto the side of a box the normal faces most.
      float nx = std::fabs(Dot(normal, p.axisX)), ny = std::fabs(Dot(normal, p.axisY)),
            nz = std::fabs(Dot(normal, p.axisZ));
      if (nx >= ny && nx >= nz) return Scaled(p, z, y);
      if (ny >= nz) return Scaled(p, x, z);
      return Scaled(p, x, y);
    }
    default: return Scaled(p, x, y);  // flat and sheet
  }
}

void Wrap::ApplyTo(MeshBuilder& builder, const Mat4& toWrapSpace) const {
  MeshGeometry& g = builder.MutableGeometry();
  std::vector<Vec3> normals = VertexNormals(g);
  for (std::size_t i = 0; i < g.positions.size(); ++i) {
    Vec3 p = TransformPoint(g.positions[i], toWrapSpace);
    Vec3 n = Normalized(TransformDirection(normals[i], toWrapSpace));
    g.uvs[i] = Map(p, n);
  }
}

HRESULT Wrap::Apply(IDirect3DRMObject* object) {
  MeshBuilder* builder = MeshBuilder::From(object);
  if (!builder) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  ApplyTo(*builder, Mat4::Identity());
  return D3DRM_OK;
}

HRESULT Wrap::ApplyRelative(IDirect3DRMFrame3* frame, IDirect3DRMObject* object) {
  Frame* f = Frame::From(frame);
  MeshBuilder* builder = MeshBuilder::From(object);
  if (!f || !builder) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  // The builder as it sits in the frame, seen from the reference frame
  // (world coordinates when there is none, or it is gone).
  Mat4 refInverse;
  if (Frame* ref = ref_.Get(); ref && !InvertAffine(ref->WorldMatrix(), refInverse)) return D3DRMERR_BADVALUE;
  ApplyTo(*builder, f->WorldMatrix() * refInverse);
  return D3DRM_OK;
}

}  // namespace kv::rm
