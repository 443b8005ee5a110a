// The prism generator on its own (no mesh): the four variants' vertices,
// normals and face records, the choice between them, and the parameter
// ranges.
#include <cmath>
#include <limits>
#include <tuple>

#include "ShapeTestSupport.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/objects/Kv3dshape.h"

using namespace kv;
using kvtest::Near;
using kvtest::PolygonCorner;
using kvtest::Record;
using kvtest::Records;
using kvtest::SameIndex;

namespace {

std::unique_ptr<TKV3DFace> MakePrism(int vertices, float depth, float aperture) {
  TKV3DPrism prism(nullptr);
  EXPECT_TRUE(prism.SetVertices(vertices));
  EXPECT_TRUE(prism.SetDepth(depth));
  EXPECT_TRUE(prism.SetAperture(aperture));
  prism.Create();
  EXPECT_NE(prism.Face(), nullptr);
  return prism.TakeFace();
}

TEST(Prism, DefaultIsAClockwiseTriangleFacingDown) {
  TKV3DPrism prism(nullptr);
  EXPECT_EQ(prism.ShapeType(), stPrism);
  prism.Create();
  ASSERT_NE(prism.Face(), nullptr);
  const TKV3DFace& face = *prism.Face();
  ASSERT_EQ(face.VertexCount(), 3u);
  ASSERT_EQ(face.NormalCount(), 3u);
  const double r = std::numbers::pi / 180.0;
  EXPECT_TRUE(Near(face.Vertices()[0], {1, 0, 0}));
  EXPECT_TRUE(Near(face.Vertices()[1], {float(std::cos(120 * r)), float(-std::sin(120 * r)), 0}));
  EXPECT_TRUE(Near(face.Vertices()[2], {float(std::cos(240 * r)), float(-std::sin(240 * r)), 0}));
  for (int k = 0; k < 3; ++k) EXPECT_EQ(face.Normals()[k], (D3DVECTOR{0, 0, -1}));
  const std::vector<DWORD> expected{3, 0, 0, 1, 1, 2, 2, 0};
  EXPECT_EQ(face.FaceDataArray(), expected);
}

TEST(Prism, FlatRingJoinsOuterAndInnerCornersWithQuads) {
  auto face = MakePrism(4, 0, 0.5f);
  ASSERT_EQ(face->VertexCount(), 8u);
  ASSERT_EQ(face->NormalCount(), 8u);
  EXPECT_EQ(face->FaceDataSize(), 37u);
  for (int j = 0; j < 4; ++j) {
    const D3DVECTOR outer = PolygonCorner(j, 4);
    EXPECT_TRUE(Near(face->Vertices()[2 * j], outer)) << j;
    EXPECT_TRUE(Near(face->Vertices()[2 * j + 1], {0.5f * outer.x, 0.5f * outer.y, 0})) << j;
  }
  EXPECT_EQ(face->Vertices()[1], (D3DVECTOR{0.5f, 0, 0}));
  for (const D3DVECTOR& n : face->NormalArray()) EXPECT_EQ(n, (D3DVECTOR{0, 0, -1}));
  const std::vector<Record> expected{SameIndex({0, 2, 3, 1}), SameIndex({2, 4, 5, 3}), SameIndex({4, 6, 7, 5}),
                                     SameIndex({6, 0, 1, 7})};
  EXPECT_EQ(Records(*face), expected);
}

TEST(Prism, SolidPrismHasBottomReversedTopAndSideQuads) {
  auto face = MakePrism(4, 2, 0);
  ASSERT_EQ(face->VertexCount(), 8u);
  EXPECT_EQ(face->FaceDataSize(), 55u);
  for (int j = 0; j < 4; ++j) {
    EXPECT_TRUE(Near(face->Vertices()[j], PolygonCorner(j, 4))) << j;
    EXPECT_TRUE(Near(face->Vertices()[4 + j], PolygonCorner(j, 4, 2))) << j;
  }
  // Normals are the vertex positions themselves, not normalised.
  EXPECT_EQ(face->NormalArray(), face->VertexArray());
  EXPECT_TRUE(Near(face->Normals()[4], {1, 0, 2}));
  const std::vector<Record> expected{SameIndex({0, 1, 2, 3}),    SameIndex({7, 6, 5, 4}),
                                     SameIndex({0, 4, 5, 1}),    SameIndex({1, 5, 6, 2}),
                                     SameIndex({2, 6, 7, 3}),    SameIndex({3, 7, 4, 0})};
  EXPECT_EQ(Records(*face), expected);
}

TEST(Prism, TubeHasTwoRingsAndTwoWallsWithTiltedNormals) {
  auto face = MakePrism(3, 1, 0.5f);
  ASSERT_EQ(face->VertexCount(), 12u);
  ASSERT_EQ(face->NormalCount(), 12u);
  EXPECT_EQ(face->FaceDataSize(), 109u);
  for (int j = 0; j < 3; ++j) {
    const D3DVECTOR c = PolygonCorner(j, 3);
    EXPECT_TRUE(Near(face->Vertices()[2 * j], c)) << j;
    EXPECT_TRUE(Near(face->Vertices()[2 * j + 1], {0.5f * c.x, 0.5f * c.y, 0})) << j;
    EXPECT_TRUE(Near(face->Vertices()[6 + 2 * j], {c.x, c.y, 1})) << j;
    EXPECT_TRUE(Near(face->Vertices()[6 + 2 * j + 1], {0.5f * c.x, 0.5f * c.y, 1})) << j;
    EXPECT_TRUE(Near(face->Normals()[2 * j], {c.x, c.y, -0.5f})) << j;
    EXPECT_TRUE(Near(face->Normals()[2 * j + 1], {-0.5f * c.x, -0.5f * c.y, -0.25f})) << j;
    EXPECT_TRUE(Near(face->Normals()[6 + 2 * j], {c.x, c.y, 1.5f})) << j;
    EXPECT_TRUE(Near(face->Normals()[6 + 2 * j + 1], {-0.5f * c.x, -0.5f * c.y, 0.75f})) << j;
  }
  const std::vector<Record> expected{
      // bottom ring
      SameIndex({0, 2, 3, 1}), SameIndex({2, 4, 5, 3}), SameIndex({4, 0, 1, 5}),
      // top ring, walked backwards
      SameIndex({11, 10, 8, 9}), SameIndex({9, 8, 6, 7}), SameIndex({7, 6, 10, 11}),
      // outer wall
      SameIndex({0, 6, 8, 2}), SameIndex({2, 8, 10, 4}), SameIndex({4, 10, 6, 0}),
      // inner wall
      SameIndex({1, 3, 9, 7}), SameIndex({3, 5, 11, 9}), SameIndex({5, 1, 7, 11})};
  EXPECT_EQ(Records(*face), expected);
}

TEST(Prism, DepthAndApertureChooseTheVariantWithItsSizes) {
  // (depth, aperture) -> vertices per corner, face-data words as a*n + b.
  struct Variant {
    float depth, aperture;
    unsigned perCorner, wordsPerCorner, extraWords;
  };
  const Variant variants[] = {{0, 0, 1, 2, 2}, {0, 0.25f, 2, 9, 1}, {3, 0, 2, 13, 3}, {3, 1, 4, 36, 1}};
  for (const Variant& v : variants) {
    for (int n : {3, 5, 8, 64}) {
      auto face = MakePrism(n, v.depth, v.aperture);
      SCOPED_TRACE(testing::Message() << "depth " << v.depth << " aperture " << v.aperture << " n " << n);
      EXPECT_EQ(face->VertexCount(), v.perCorner * n);
      EXPECT_EQ(face->NormalCount(), v.perCorner * n);
      EXPECT_EQ(face->FaceDataSize(), v.wordsPerCorner * n + v.extraWords);
      EXPECT_TRUE(face->IsWellFormed()) << LastErrorText();
    }
  }
}

TEST(Prism, OutOfRangeParametersAreRefusedAndChangeNothing) {
  TKV3DPrism prism(nullptr);
  ASSERT_TRUE(prism.SetVertices(6));
  ASSERT_TRUE(prism.SetDepth(1.5f));
  ASSERT_TRUE(prism.SetAperture(0.25f));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();

  EXPECT_FALSE(prism.SetVertices(2));
  EXPECT_NE(LastErrorText().find("Vertices must be from 3 to 65536"), std::string::npos) << LastErrorText();
  EXPECT_FALSE(prism.SetVertices(65537));
  EXPECT_FALSE(prism.SetVertices(std::numeric_limits<std::int32_t>::min()));
  EXPECT_FALSE(prism.SetDepth(-1));
  EXPECT_FALSE(prism.SetDepth(nan));
  EXPECT_FALSE(prism.SetDepth(inf));
  EXPECT_FALSE(prism.SetAperture(1.5f));
  EXPECT_NE(LastErrorText().find("Aperture must be from 0 to 1"), std::string::npos) << LastErrorText();
  EXPECT_FALSE(prism.SetAperture(-0.01f));
  EXPECT_FALSE(prism.SetAperture(nan));
  EXPECT_EQ(std::make_tuple(prism.Vertices(), prism.Depth(), prism.Aperture()), std::make_tuple(6, 1.5f, 0.25f));

  // The ends of the ranges are accepted.
  EXPECT_TRUE(prism.SetAperture(1));
  EXPECT_TRUE(prism.SetAperture(0));
  EXPECT_TRUE(prism.SetDepth(0));
  EXPECT_TRUE(prism.SetVertices(3));
  EXPECT_TRUE(prism.SetVertices(TKV3DPrism::kMaxVertices));
  prism.Create();
  ASSERT_NE(prism.Face(), nullptr);
  EXPECT_EQ(prism.Face()->VertexCount(), 65536u);
  EXPECT_TRUE(prism.Face()->IsWellFormed()) << LastErrorText();
}

}  // namespace
