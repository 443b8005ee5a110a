// Clipping: outcodes, Sutherland-Hodgman against each plane, and triangles
// that cross the front plane or reach far beyond the guard band.
#include <gtest/gtest.h>

#include <cmath>

#include "RasterTestSupport.h"
#include "korvane3d/rm/raster/Clip.h"

namespace kv::raster::test {
namespace {

// attr[0] is a linear function of the position, so clipping must keep it
// exactly consistent at every vertex it creates.
float Linear(const PolyVertex& v) { return v.x + 2 * v.y + 3 * v.z + 4 * v.w; }

PolyVertex V(float x, float y, float z, float w) {
  PolyVertex v{x, y, z, w, {}};
  v.attr[0] = Linear(v);
  return v;
}

struct ClipCase {
  const char* name;
  std::uint8_t plane;
  PolyVertex a, b, c;
  int expectedCount;
};

TEST(Clip, EachPlaneTable) {
  const GuardBand guard{2, 2};
  const ClipCase cases[] = {
      {"near, one out", kClipNear, V(0, 0, -1, 1), V(1, 0, 1, 2), V(0, 1, 1, 2), 4},
      {"near, two out", kClipNear, V(0, 0, -1, 1), V(1, 0, -1, 1), V(0, 1, 1, 2), 3},
      {"near, all in", kClipNear, V(0, 0, 1, 2), V(1, 0, 1, 2), V(0, 1, 1, 2), 3},
      {"near, all out", kClipNear, V(0, 0, -1, 2), V(1, 0, -1, 2), V(0, 1, -2, 2), 0},
      {"far, one out", kClipFar, V(0, 0, 3, 2), V(1, 0, 1, 2), V(0, 1, 1, 2), 4},
      {"left, one out", kClipGuardLeft, V(-9, 0, 1, 2), V(1, 0, 1, 2), V(0, 1, 1, 2), 4},
      {"right, two out", kClipGuardRight, V(9, 0, 1, 2), V(9, 1, 1, 2), V(0, 1, 1, 2), 3},
      {"bottom, one out", kClipGuardBottom, V(0, -9, 1, 2), V(1, 0, 1, 2), V(0, 1, 1, 2), 4},
      {"top, one out", kClipGuardTop, V(0, 9, 1, 2), V(1, 0, 1, 2), V(0, 1, 1, 2), 4},
  };
  for (const ClipCase& c : cases) {
    Polygon poly;
    poly.count = 3;
    poly.v[0] = c.a;
    poly.v[1] = c.b;
    poly.v[2] = c.c;
    ClipPolygon(poly, c.plane, guard);
    EXPECT_EQ(poly.count, c.expectedCount) << c.name;
    const ClipPlane plane = PlaneFor(c.plane, guard);
    for (int i = 0; i < poly.count; ++i) {
      const PolyVertex& v = poly.v[i];
      EXPECT_GE(plane.a * v.x + plane.b * v.y + plane.c * v.z + plane.d * v.w, -1e-5f) << c.name;
      EXPECT_NEAR(v.attr[0], Linear(v), 1e-4f) << c.name << ": attributes follow the position";
    }
  }
}

TEST(Clip, AllPlanesAtOnceStaysWithinCapacity) {
  // A triangle poking out of every plane.
  Polygon poly;
  poly.count = 3;
  poly.v[0] = V(-50, -50, -5, 1);  // through the box's middle at depth 0.19
  poly.v[1] = V(50, -50, 5, 1);
  poly.v[2] = V(0, 80, 0.5f, 1);
  ClipPolygon(poly, kClipNeeded, GuardBand{2, 2});
  EXPECT_GE(poly.count, 3);
  EXPECT_LE(poly.count, kMaxPolygon);
}

TEST(Clip, SharedEdgeIsCutAtTheSamePoint) {
  // Two triangles share the edge p-q that crosses the near plane; each sees
  // it in the opposite direction.
  PolyVertex p = V(0, 0, -1, 1), q = V(1, 1, 1, 3);
  PolyVertex a[3] = {p, q, V(2, 0, 1, 3)}, b[3] = {q, p, V(-2, 0, 1, 3)};
  PolyVertex outA[8], outB[8];
  const ClipPlane nearPlane = PlaneFor(kClipNear, GuardBand{});
  int na = ClipAgainstPlane(a, 3, outA, nearPlane, true), nb = ClipAgainstPlane(b, 3, outB, nearPlane, true);
  int matches = 0;
  for (int i = 0; i < na; ++i)
    for (int j = 0; j < nb; ++j)
      if (outA[i].z == 0 && outB[j].z == 0 && outA[i].x == outB[j].x && outA[i].y == outB[j].y &&
          outA[i].w == outB[j].w)
        ++matches;
  EXPECT_EQ(matches, 1) << "the new vertex on the shared edge is bit-identical in both";
}

TEST(Clip, OpenSegment) {
  PolyVertex seg[2] = {V(0, 0, -1, 1), V(0, 0, 1, 1)}, out[4];
  int n = ClipAgainstPlane(seg, 2, out, PlaneFor(kClipNear, GuardBand{}), false);
  ASSERT_EQ(n, 2);
  EXPECT_FLOAT_EQ(out[0].z, 0);
  EXPECT_FLOAT_EQ(out[1].z, 1);
}

TEST(Clip, OutcodesFlagNonFiniteVertices) {
  EXPECT_EQ(Outcode(NAN, 0, 0, 1, GuardBand{}), kClipInvalid);
  EXPECT_EQ(Outcode(0, 0, INFINITY, 1, GuardBand{}), kClipInvalid);
  EXPECT_EQ(Outcode(0, 0, 0.5f, 1, GuardBand{}), 0);
}

// Drawn: a square that crosses the front plane is cut there; what is left
// is drawn and nothing else.
TEST(ClipDraw, SquareThroughTheFrontPlane) {
  Canvas c(64, 64);
  Rasterizer r;
  TestMesh m;
  // A floor-like square from z=0.5 (in front of the front plane) to z=4.
  m.positions = {{-1, -0.5f, 0.5f}, {-1, -0.5f, 4}, {1, -0.5f, 4}, {1, -0.5f, 0.5f}};
  m.indices = {0, 1, 2, 0, 2, 3};
  DrawCall d = Unlit(0xffffff);
  d.cull = CullMode::None;
  Render(r, c, {{m, d}});
  // The horizon of the floor at z=4 is at y = 32 + 64·0.5/4 = 40; below it,
  // down to the bottom row, everything is covered.
  EXPECT_EQ(c.At(32, 38), kBlack);
  EXPECT_EQ(c.At(32, 42), 0xffffffu);
  EXPECT_EQ(c.At(32, 63), 0xffffffu);
  EXPECT_EQ(c.At(0, 63), 0xffffffu);
}

TEST(ClipDraw, HugeTriangleBeyondTheGuardBandCoversTheViewport) {
  Canvas c(100, 80);
  Rasterizer r;
  DrawCall d = Unlit(0x00ff00);
  Render(r, c, {{Triangle({-1e5f, -1e5f, 10}, {0, 1e5f, 10}, {1e5f, -1e5f, 10}), d}});
  EXPECT_EQ(c.CountNot(0x00ff00), 0);
}

TEST(ClipDraw, VertexBehindTheCameraAndNonFiniteOnes) {
  Canvas c(64, 64);
  Rasterizer r;
  DrawCall d = Unlit(0xffffff);
  d.cull = CullMode::None;
  TestMesh m = Triangle({0, 0, -5}, {0.5f, 0, 3}, {0, 0.5f, 3});
  TestMesh bad = Triangle({NAN, 0, 2}, {1, 0, 2}, {0, INFINITY, 2});
  Render(r, c, {{m, d}, {bad, d}});
  EXPECT_GT(c.CountNot(kBlack), 0);
  EXPECT_LT(c.CountNot(kBlack), 64 * 64);
}

}  // namespace
}  // namespace kv::raster::test
