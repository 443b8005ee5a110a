// The cube generator on its own (no mesh): the plate turned through six
// sides, word counts, every side on the cube's surface with an outward
// normal, the Grid range.
#include <algorithm>
#include <cmath>
#include <set>

#include "ShapeTestSupport.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/objects/Kv3dshape.h"

using namespace kv;
using kvtest::CountRecordsOfSize;
using kvtest::Near;
using kvtest::Records;

namespace {

std::unique_ptr<TKV3DFace> MakeCube(int grid) {
  TKV3DCube cube(nullptr);
  EXPECT_TRUE(cube.SetGrid(grid));
  cube.Create();
  EXPECT_NE(cube.Face(), nullptr);
  return cube.TakeFace();
}

// Rounds a coordinate to the nearest multiple of 1 / 64 for set comparisons.
int Snap(float value) { return static_cast<int>(std::lround(value * 64)); }

TEST(Cube, DefaultHasSixPlatesOfFourQuadsAndOneNormalPerSide) {
  TKV3DCube cube(nullptr);
  EXPECT_EQ(cube.ShapeType(), stCube);
  EXPECT_EQ(cube.Grid(), 3);
  cube.Create();
  ASSERT_NE(cube.Face(), nullptr);
  const TKV3DFace& face = *cube.Face();
  EXPECT_EQ(face.VertexCount(), 6u * 9);
  EXPECT_EQ(face.NormalCount(), 6u);
  // Each plate: 4 quads in 36 words; one terminator for the whole cube.
  EXPECT_EQ(face.FaceDataSize(), 6u * 36 + 1);
  const auto records = Records(face);
  EXPECT_EQ(records.size(), 24u);
  EXPECT_EQ(CountRecordsOfSize(records, 4), 24u);
  EXPECT_TRUE(face.IsWellFormed()) << LastErrorText();
}

TEST(Cube, PlateQuadsWalkTheGridAndShareTheirSidesNormal) {
  const DWORD g = 4;
  auto face = MakeCube(g);
  const auto records = Records(*face);
  ASSERT_EQ(records.size(), 6u * 9);
  for (DWORD side = 0; side < 6; ++side) {
    for (DWORD r = 0; r + 1 < g; ++r) {
      for (DWORD c = 0; c + 1 < g; ++c) {
        const DWORD v = side * g * g + r * g + c;
        const kvtest::Record expected{v, side, v + 1, side, v + g + 1, side, v + g, side};
        EXPECT_EQ(records[side * 9 + r * 3 + c], expected) << side << " " << r << " " << c;
      }
    }
  }
}

TEST(Cube, SidesLieOnTheCubeSurfaceFacingOutwards) {
  for (int g : {3, 4, 7}) {
    SCOPED_TRACE(g);
    auto face = MakeCube(g);
    const std::size_t perSide = std::size_t(g) * g;
    ASSERT_EQ(face->VertexCount(), 6 * perSide);
    std::set<std::tuple<int, int, int>> normals;
    for (std::size_t side = 0; side < 6; ++side) {
      const D3DVECTOR n = face->Normals()[side];
      EXPECT_NEAR(kvtest::Length(n), 1.0f, 1e-5f);
      normals.insert({Snap(n.x), Snap(n.y), Snap(n.z)});
      std::set<std::pair<int, int>> grid;  // the side's points in its own plane
      for (std::size_t k = 0; k < perSide; ++k) {
        const D3DVECTOR p = face->Vertices()[side * perSide + k];
        // On the side's plane, half a unit out along its normal, and inside
        // the cube.
        EXPECT_NEAR(kvtest::Dot(p, n), 0.5f, 1e-5f) << side << " " << k;
        EXPECT_LE(std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)}), 0.5f + 1e-5f);
        const D3DVECTOR a = std::fabs(n.x) > 0.5f ? D3DVECTOR{p.y, p.z, 0} : std::fabs(n.y) > 0.5f ? D3DVECTOR{p.x, p.z, 0} : D3DVECTOR{p.x, p.y, 0};
        grid.insert({std::lround(a.x * (g - 1) * 2), std::lround(a.y * (g - 1) * 2)});
      }
      // A full g x g lattice from -0.5 to 0.5.
      EXPECT_EQ(grid.size(), perSide);
      EXPECT_EQ(grid.begin()->first, -(g - 1));
      EXPECT_EQ(grid.rbegin()->second, g - 1);
    }
    // One side along each of the six axis directions.
    const std::set<std::tuple<int, int, int>> axes{{64, 0, 0}, {-64, 0, 0}, {0, 64, 0},
                                                   {0, -64, 0}, {0, 0, 64}, {0, 0, -64}};
    EXPECT_EQ(normals, axes);
  }
}

TEST(Cube, FirstCopyIsAlreadyTurnedAboutYAndTheLastTwoLieOnTheYAxis) {
  auto face = MakeCube(3);
  const D3DVECTOR* n = face->Normals();
  // The plate starts at z = -0.5 facing -z; a quarter turn about y takes it
  // to one of the x sides, the fourth copy back to -z.
  EXPECT_NEAR(std::fabs(n[0].x), 1.0f, 1e-5f);
  EXPECT_TRUE(Near(n[3], {0, 0, -1}));
  EXPECT_NEAR(std::fabs(n[4].y), 1.0f, 1e-5f);
  EXPECT_TRUE(Near(n[5], {-n[4].x, -n[4].y, -n[4].z}));
}

TEST(Cube, GridOutsideItsRangeIsRefused) {
  TKV3DCube cube(nullptr);
  EXPECT_FALSE(cube.SetGrid(2));
  EXPECT_NE(LastErrorText().find("Grid must be from 3 to 512"), std::string::npos) << LastErrorText();
  EXPECT_FALSE(cube.SetGrid(513));
  EXPECT_FALSE(cube.SetGrid(-3));
  EXPECT_EQ(cube.Grid(), 3);
  EXPECT_TRUE(cube.SetGrid(512));
  EXPECT_EQ(cube.Grid(), 512);
}

}  // namespace
