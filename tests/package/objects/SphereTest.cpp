// The sphere generator on its own (no mesh): the band and its copies turned
// per wall, word counts, the closed unit sphere, the parameter ranges.
#include <algorithm>
#include <cmath>
#include <limits>

#include "ShapeTestSupport.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/objects/Kv3dshape.h"

using namespace kv;
using kvtest::CountRecordsOfSize;
using kvtest::Near;
using kvtest::Record;
using kvtest::Records;
using kvtest::SameIndex;

namespace {

std::unique_ptr<TKV3DFace> MakeSphere(int edges, int walls) {
  TKV3DSphere sphere(nullptr);
  EXPECT_TRUE(sphere.SetEdges(edges));
  EXPECT_TRUE(sphere.SetWalls(walls));
  sphere.Create();
  EXPECT_NE(sphere.Face(), nullptr);
  return sphere.TakeFace();
}

TEST(Sphere, DefaultHasFifteenBandsOfTwoTrianglesAndTwelveQuads) {
  TKV3DSphere sphere(nullptr);
  EXPECT_EQ(sphere.ShapeType(), stSphere);
  EXPECT_EQ(sphere.Edges(), 15);
  EXPECT_EQ(sphere.Walls(), 15);
  sphere.Create();
  ASSERT_NE(sphere.Face(), nullptr);
  const TKV3DFace& face = *sphere.Face();
  // Each band: 28 points, 123 words with its terminator.
  EXPECT_EQ(face.VertexCount(), 15u * 28);
  EXPECT_EQ(face.NormalCount(), 15u * 28);
  EXPECT_EQ(face.FaceDataSize(), 15u * 122 + 1);
  const auto records = Records(face);
  EXPECT_EQ(records.size(), 210u);
  EXPECT_EQ(CountRecordsOfSize(records, 3), 30u);
  EXPECT_EQ(CountRecordsOfSize(records, 4), 180u);
  EXPECT_TRUE(face.IsWellFormed()) << LastErrorText();
}

TEST(Sphere, SmallestSphereIsTwoBandsOfTwoTrianglesEach) {
  auto face = MakeSphere(3, 2);
  ASSERT_EQ(face->VertexCount(), 8u);
  // Band: the +x pole, (0, -1, 0), that point half a turn about x, the -x
  // pole. Copy 1 is the band turned by half a turn, copy 2 by a full turn.
  const D3DVECTOR expected[] = {{1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {-1, 0, 0},
                                {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}};
  for (int k = 0; k < 8; ++k) EXPECT_TRUE(Near(face->Vertices()[k], expected[k])) << k;
  const std::vector<Record> records{SameIndex({0, 1, 2}), SameIndex({1, 3, 2}), SameIndex({4, 5, 6}),
                                    SameIndex({5, 7, 6})};
  EXPECT_EQ(Records(*face), records);
  EXPECT_EQ(face->FaceDataSize(), 2u * 14 + 1);
}

TEST(Sphere, BandRecordsRunFromPoleToPole) {
  const int e = 6;
  auto face = MakeSphere(e, 4);
  const auto records = Records(*face);
  ASSERT_EQ(records.size(), 4u * (e - 1));
  const DWORD band = 2 * e - 2;
  for (DWORD w = 0; w < 4; ++w) {
    const DWORD o = w * band;
    SCOPED_TRACE(w);
    EXPECT_EQ(records[w * (e - 1)], SameIndex({o + 0, o + 1, o + 2}));
    for (DWORD i = 1; i <= e - 3; ++i)
      EXPECT_EQ(records[w * (e - 1) + i], SameIndex({o + 2 * i - 1, o + 2 * i + 1, o + 2 * i + 2, o + 2 * i}));
    EXPECT_EQ(records[w * (e - 1) + e - 2], SameIndex({o + 2 * e - 5, o + 2 * e - 3, o + 2 * e - 4}));
  }
}

TEST(Sphere, EveryWallIsTheBandTurnedOnceMoreAndTheWallsCloseTheSphere) {
  const int e = 7, w = 9;
  auto face = MakeSphere(e, w);
  const int band = 2 * e - 2;
  ASSERT_EQ(face->VertexCount(), unsigned(w * band));
  EXPECT_EQ(face->NormalArray(), face->VertexArray());
  for (const D3DVECTOR& v : face->VertexArray()) EXPECT_NEAR(kvtest::Length(v), 1.0f, 1e-5f);
  const D3DVECTOR* v = face->Vertices();
  for (int copy = 0; copy < w; ++copy) {
    SCOPED_TRACE(copy);
    const D3DVECTOR* first = v + copy * band;
    const D3DVECTOR* next = v + ((copy + 1) % w) * band;
    EXPECT_TRUE(Near(first[0], {1, 0, 0}));
    EXPECT_TRUE(Near(first[band - 1], {-1, 0, 0}));
    for (int i = 1; i <= e - 2; ++i) {
      // Both points of a row are at the row's latitude ...
      const float x = static_cast<float>(std::cos(-i * std::numbers::pi / (e - 1)));
      EXPECT_NEAR(first[2 * i - 1].x, x, 1e-5f);
      EXPECT_NEAR(first[2 * i].x, x, 1e-5f);
      // ... and the band's far meridian is the next wall's near one.
      EXPECT_TRUE(Near(first[2 * i], next[2 * i - 1], 1e-4f)) << i;
    }
  }
  // The last wall has turned all the way round: back in the xy plane, y < 0.
  const D3DVECTOR* last = v + (w - 1) * band;
  for (int i = 1; i <= e - 2; ++i) {
    const double a = -i * std::numbers::pi / (e - 1);
    EXPECT_TRUE(Near(last[2 * i - 1], {float(std::cos(a)), float(std::sin(a)), 0}, 1e-4f)) << i;
  }
  // The walls' near meridians are 2pi / w apart around the x axis.
  std::vector<double> longitudes;
  for (int copy = 0; copy < w; ++copy) {
    const D3DVECTOR& p = v[copy * band + 1];
    longitudes.push_back(std::atan2(p.z, p.y));
  }
  std::sort(longitudes.begin(), longitudes.end());
  for (int k = 1; k < w; ++k) EXPECT_NEAR(longitudes[k] - longitudes[k - 1], 2 * std::numbers::pi / w, 1e-4);
}

TEST(Sphere, OutOfRangeEdgesAndWallsAreRefused) {
  TKV3DSphere sphere(nullptr);
  EXPECT_FALSE(sphere.SetEdges(2));
  EXPECT_NE(LastErrorText().find("Edges must be from 3 to 1024"), std::string::npos) << LastErrorText();
  EXPECT_FALSE(sphere.SetEdges(1025));
  EXPECT_FALSE(sphere.SetWalls(1));
  EXPECT_FALSE(sphere.SetWalls(1025));
  EXPECT_FALSE(sphere.SetWalls(std::numeric_limits<std::int32_t>::max()));
  EXPECT_EQ(sphere.Edges(), 15);
  EXPECT_EQ(sphere.Walls(), 15);
  EXPECT_TRUE(sphere.SetEdges(3));
  EXPECT_TRUE(sphere.SetWalls(2));
  EXPECT_TRUE(sphere.SetEdges(1024));
  EXPECT_TRUE(sphere.SetWalls(1024));
  EXPECT_EQ(sphere.Edges(), 1024);
}

}  // namespace
