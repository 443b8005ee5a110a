// The prism generator: a regular polygon, a flat ring, a solid prism or a
// tube, chosen by Depth and Aperture.
#include <limits>
#include <numbers>
#include <vector>

#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/Kv3dshape.h"
#include "korvane3d/objects/ShapeFaces.h"

namespace kv {

namespace {

// The polygon's corners on the unit circle in z = 0: the angle starts at 0
// and a float accumulator goes down by 2pi/n per corner, so the corners run
// clockwise from +x seen from +z.
std::vector<D3DVECTOR> Corners(std::int32_t n) {
  const float step = shapes::StepAngle(2 * std::numbers::pi_v<long double> / n);
  std::vector<D3DVECTOR> corners;
  corners.reserve(n);
  float angle = 0.0f;
  for (std::int32_t j = 0; j < n; ++j) {
    corners.push_back(shapes::PointOnCircle(angle));
    angle -= step;
  }
  return corners;
}

D3DVECTOR Scaled(const D3DVECTOR& v, float factor) { return {factor * v.x, factor * v.y, factor * v.z}; }

D3DVECTOR AtHeight(const D3DVECTOR& v, float z) { return {v.x, v.y, z}; }

}  // namespace

const TClassInfo& TKV3DPrism::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DPrism, TKV3DShape>("TKV3DPrism", [](PropertyBuilder<TKV3DPrism>& p) {
    p.Float("Depth", &TKV3DPrism::Depth, &TKV3DPrism::SetDepth).Default(0.0f);
    p.Float("Aperture", &TKV3DPrism::Aperture, &TKV3DPrism::SetAperture).Default(0.0f);
    p.Integer("Vertices", &TKV3DPrism::Vertices, &TKV3DPrism::SetVertices).Default(3);
  });
  return info;
}

TKV3DPrism::TKV3DPrism(TKV3DMesh* mesh) : TKV3DShape(mesh, stPrism) {}

bool TKV3DPrism::SetDepth(float value) {
  return StoreParameter(depth_, value, 0.0f, std::numeric_limits<float>::infinity(), "Depth");
}

bool TKV3DPrism::SetAperture(float value) { return StoreParameter(aperture_, value, 0.0f, 1.0f, "Aperture"); }

bool TKV3DPrism::SetVertices(std::int32_t value) {
  return StoreParameter(vertices_, value, kMinVertices, kMaxVertices, "Vertices");
}

void TKV3DPrism::Create() {
  if (depth_ == 0.0f) {
    if (aperture_ == 0.0f)
      CreateFaces_PolyForm();
    else
      CreateFaces_PolyForm2();
  } else {
    if (aperture_ == 0.0f)
      CreateFaces_PolyFormG();
    else
      CreateFaces_PolyFormG2();
  }
}

// One face of n corners, every normal (0, 0, -1).
void TKV3DPrism::CreateFaces_PolyForm() {
  const auto n = static_cast<DWORD>(vertices_);
  shapes::FaceSetBuilder set;
  set.Reserve(n, n, 2 * std::size_t{n} + 2);
  std::vector<DWORD> face;
  for (const D3DVECTOR& corner : Corners(vertices_)) {
    face.push_back(static_cast<DWORD>(set.Vertices().size()));
    set.AddVertex(corner);
    set.AddNormal({0.0f, 0.0f, -1.0f});
  }
  set.AddFace(face);
  SetResult(set.Finish());
}

// Outer corner 2j and inner corner 2j + 1 joined by n quads; normals -z.
void TKV3DPrism::CreateFaces_PolyForm2() {
  const auto n = static_cast<DWORD>(vertices_);
  shapes::FaceSetBuilder set;
  set.Reserve(2 * n, 2 * n, 9 * std::size_t{n} + 1);
  for (const D3DVECTOR& corner : Corners(vertices_)) {
    set.AddVertex(corner);
    set.AddVertex(Scaled(corner, aperture_));
    set.AddNormal({0.0f, 0.0f, -1.0f});
    set.AddNormal({0.0f, 0.0f, -1.0f});
  }
  for (DWORD j = 0; j + 1 < n; ++j) set.AddFace({2 * j, 2 * j + 2, 2 * j + 3, 2 * j + 1});
  set.AddFace({2 * n - 2, 0, 1, 2 * n - 1});
  SetResult(set.Finish());
}

// Bottom corners 0..n-1, top corners n..2n-1; each normal is its vertex.
void TKV3DPrism::CreateFaces_PolyFormG() {
  const auto n = static_cast<DWORD>(vertices_);
  const std::vector<D3DVECTOR> corners = Corners(vertices_);
  shapes::FaceSetBuilder set;
  set.Reserve(2 * n, 2 * n, 13 * std::size_t{n} + 3);
  for (const D3DVECTOR& corner : corners) set.AddVertex(corner);
  for (const D3DVECTOR& corner : corners) set.AddVertex(AtHeight(corner, depth_));
  set.Normals() = set.Vertices();

  std::vector<DWORD> bottom, top;
  for (DWORD j = 0; j < n; ++j) bottom.push_back(j);
  for (DWORD k = 2 * n; k > n; --k) top.push_back(k - 1);
  set.AddFace(bottom);
  set.AddFace(top);
  for (DWORD j = 0; j + 1 < n; ++j) set.AddFace({j, n + j, n + j + 1, j + 1});
  set.AddFace({n - 1, 2 * n - 1, n, 0});
  SetResult(set.Finish());
}

// Bottom ring 0..2n-1 and top ring 2n..4n-1, outer corners even, inner odd.
void TKV3DPrism::CreateFaces_PolyFormG2() {
  const auto n = static_cast<DWORD>(vertices_);
  const float a = aperture_;
  const float d = depth_;
  shapes::FaceSetBuilder set;
  set.Reserve(4 * n, 4 * n, 36 * std::size_t{n} + 1);
  std::vector<D3DVECTOR> topVertices, topNormals;
  for (const D3DVECTOR& c : Corners(vertices_)) {
    const D3DVECTOR inner = Scaled(c, a);
    set.AddVertex(c);
    set.AddVertex(inner);
    set.AddNormal({c.x, c.y, -0.5f});
    set.AddNormal(Scaled({-c.x, -c.y, -0.5f}, a));
    topVertices.push_back(AtHeight(c, d));
    topVertices.push_back(AtHeight(inner, d));
    topNormals.push_back({c.x, c.y, d + 0.5f});
    topNormals.push_back(Scaled({-c.x, -c.y, d + 0.5f}, a));
  }
  set.Vertices().insert(set.Vertices().end(), topVertices.begin(), topVertices.end());
  set.Normals().insert(set.Normals().end(), topNormals.begin(), topNormals.end());

  // Bottom ring.
  for (DWORD j = 0; j + 1 < n; ++j) set.AddFace({2 * j, 2 * j + 2, 2 * j + 3, 2 * j + 1});
  set.AddFace({2 * n - 2, 0, 1, 2 * n - 1});
  // Top ring, walked backwards so that it faces up.
  for (DWORD m = 4 * n - 1; m >= 2 * n + 3; m -= 2) set.AddFace({m, m - 1, m - 3, m - 2});
  set.AddFace({2 * n + 1, 2 * n, 4 * n - 2, 4 * n - 1});
  // Outer wall.
  for (DWORD j = 0; j + 1 < n; ++j) set.AddFace({2 * j, 2 * n + 2 * j, 2 * n + 2 * j + 2, 2 * j + 2});
  set.AddFace({2 * n - 2, 4 * n - 2, 2 * n, 0});
  // Inner wall.
  for (DWORD j = 0; j + 1 < n; ++j) set.AddFace({2 * j + 1, 2 * j + 3, 2 * n + 2 * j + 3, 2 * n + 2 * j + 1});
  set.AddFace({2 * n - 1, 1, 2 * n + 1, 4 * n - 1});
  SetResult(set.Finish());
}

}  // namespace kv
