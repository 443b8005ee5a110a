// The cube generator: one side made as a flat gridded plate at z = -0.5,
// turned in place through the six orientations and copied after each turn.
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/Kv3dshape.h"
#include "korvane3d/objects/ShapeFaces.h"
#include "korvane3d/package/Kv.h"

namespace kv {

namespace {

// G x G points spanning -0.5 .. 0.5 in x and y, one normal (0, 0, -1) shared
// by (G - 1)^2 quads.
shapes::FaceSetBuilder Plate(std::int32_t grid) {
  const auto g = static_cast<DWORD>(grid);
  const long double cell = static_cast<float>(1.0L / (g - 1));
  shapes::FaceSetBuilder plate;
  plate.Reserve(std::size_t{g} * g, 1, 9 * std::size_t{g - 1} * (g - 1));
  for (DWORD r = 0; r < g; ++r) {
    for (DWORD c = 0; c < g; ++c) {
      plate.AddVertex({static_cast<float>(r * cell - 0.5L), static_cast<float>(c * cell - 0.5L), -0.5f});
    }
  }
  plate.AddNormal({0.0f, 0.0f, -1.0f});
  for (DWORD r = 0; r + 1 < g; ++r) {
    for (DWORD c = 0; c + 1 < g; ++c) {
      const DWORD v = r * g + c;
      plate.AddFaceWithNormal({v, v + 1, v + g + 1, v + g}, 0);
    }
  }
  return plate;
}

// Turns the plate about `axis` by `degrees`: the rotation gives unit
// vectors, so each vertex gets its length back; the normals stay unit.
void Turn(shapes::FaceSetBuilder& plate, const D3DVECTOR& axis, float degrees) {
  const auto angle = static_cast<float>(DegToRad(degrees));
  for (D3DVECTOR& v : plate.Vertices()) {
    const float length = D3DRMVectorModulus(&v);
    D3DVECTOR turned;
    D3DRMVectorRotate(&turned, &v, &axis, angle);
    D3DRMVectorScale(&v, &turned, length);
  }
  for (D3DVECTOR& n : plate.Normals()) {
    const D3DVECTOR before = n;
    D3DRMVectorRotate(&n, &before, &axis, angle);
  }
}

}  // namespace

const TClassInfo& TKV3DCube::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DCube, TKV3DShape>("TKV3DCube", [](PropertyBuilder<TKV3DCube>& p) {
    p.Integer("Grid", &TKV3DCube::Grid, &TKV3DCube::SetGrid).Default(3);
  });
  return info;
}

TKV3DCube::TKV3DCube(TKV3DMesh* mesh) : TKV3DShape(mesh, stCube) {}

bool TKV3DCube::SetGrid(std::int32_t value) { return StoreParameter(grid_, value, kMinGrid, kMaxGrid, "Grid"); }

// Four quarter turns about y add the four sides around the y axis and bring
// the plate back; a quarter and then a half turn about x add the two sides
// on the y axis.
void TKV3DCube::Create() {
  constexpr D3DVECTOR kYAxis{0.0f, 1.0f, 0.0f};
  constexpr D3DVECTOR kXAxis{1.0f, 0.0f, 0.0f};
  shapes::FaceSetBuilder plate = Plate(grid_);
  shapes::FaceSetBuilder cube;
  cube.Reserve(6 * plate.Vertices().size(), 6, 6 * plate.Records().size() + 1);
  for (int side = 0; side < 4; ++side) {
    Turn(plate, kYAxis, 90.0f);
    cube.Append(plate);
  }
  Turn(plate, kXAxis, 90.0f);
  cube.Append(plate);
  Turn(plate, kXAxis, 180.0f);
  cube.Append(plate);
  SetResult(cube.Finish());
}

}  // namespace kv
