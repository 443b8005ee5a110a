// The sphere generator: one band between two neighbouring meridians, turned
// about the x axis once per wall, every copy added to the result.
#include <numbers>

#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/Kv3dshape.h"
#include "korvane3d/objects/ShapeFaces.h"

namespace kv {

namespace {

constexpr D3DVECTOR kPoleAxis{1.0f, 0.0f, 0.0f};

D3DVECTOR Turned(const D3DVECTOR& v, float angle) {
  D3DVECTOR result;
  D3DRMVectorRotate(&result, &v, &kPoleAxis, angle);
  return result;
}

// The band from the +x pole to the -x pole: point 2i - 1 on the meridian in
// the xy plane (below the x axis), point 2i on the next meridian; each
// normal equals its point.
shapes::FaceSetBuilder Band(std::int32_t edges, float lonStep) {
  const auto e = static_cast<DWORD>(edges);
  const float latStep = shapes::StepAngle(std::numbers::pi_v<long double> / (e - 1));
  shapes::FaceSetBuilder band;
  band.Reserve(2 * e - 2, 2 * e - 2, 9 * std::size_t{e} - 12);
  band.AddVertex(kPoleAxis);
  float angle = 0.0f;
  for (DWORD i = 1; i + 1 < e; ++i) {
    angle -= latStep;
    const D3DVECTOR point = shapes::PointOnCircle(angle);
    band.AddVertex(point);
    band.AddVertex(Turned(point, lonStep));
  }
  band.AddVertex({-1.0f, 0.0f, 0.0f});
  band.Normals() = band.Vertices();

  band.AddFace({0, 1, 2});
  for (DWORD i = 1; i + 2 < e; ++i) band.AddFace({2 * i - 1, 2 * i + 1, 2 * i + 2, 2 * i});
  band.AddFace({2 * e - 5, 2 * e - 3, 2 * e - 4});
  return band;
}

void TurnAll(std::vector<D3DVECTOR>& vectors, float angle) {
  for (D3DVECTOR& v : vectors) v = Turned(v, angle);
}

}  // namespace

const TClassInfo& TKV3DSphere::StaticClass() {
  static const TClassInfo info =
      DefineClass<TKV3DSphere, TKV3DShape>("TKV3DSphere", [](PropertyBuilder<TKV3DSphere>& p) {
        p.Integer("Edges", &TKV3DSphere::Edges, &TKV3DSphere::SetEdges).Default(15);
        p.Integer("Walls", &TKV3DSphere::Walls, &TKV3DSphere::SetWalls).Default(15);
      });
  return info;
}

TKV3DSphere::TKV3DSphere(TKV3DMesh* mesh) : TKV3DShape(mesh, stSphere) {}

bool TKV3DSphere::SetEdges(std::int32_t value) { return StoreParameter(edges_, value, kMinEdges, kMaxEdges, "Edges"); }

bool TKV3DSphere::SetWalls(std::int32_t value) { return StoreParameter(walls_, value, kMinWalls, kMaxWalls, "Walls"); }

void TKV3DSphere::Create() { CreateFaces_Sphere(); }

void TKV3DSphere::CreateFaces_Sphere2() { CreateFaces_Sphere(); }

// The band is turned in place by one wall's angle before each copy, so copy
// w (from 1) is the band turned by w walls and the last one closes the
// sphere where the band started.
void TKV3DSphere::CreateFaces_Sphere() {
  const float lonStep = shapes::StepAngle(2 * std::numbers::pi_v<long double> / walls_);
  shapes::FaceSetBuilder band = Band(edges_, lonStep);
  const auto walls = static_cast<std::size_t>(walls_);
  shapes::FaceSetBuilder sphere;
  sphere.Reserve(walls * band.Vertices().size(), walls * band.Normals().size(), walls * band.Records().size() + 1);
  for (std::size_t w = 0; w < walls; ++w) {
    TurnAll(band.Vertices(), lonStep);
    TurnAll(band.Normals(), lonStep);
    sphere.Append(band);
  }
  SetResult(sphere.Finish());
}

}  // namespace kv
