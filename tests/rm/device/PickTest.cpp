// Picking through a viewport: nearest first, frames from the scene root
// down, nothing in empty space, pick-disabled frames ignored, transforms of
// nested frames applied, geometry edits seen at once; and the triangle tree
// giving what a scan of every triangle gives.
#include <limits>
#include <random>

#include "DeviceTesting.h"
#include "korvane3d/rm/PickTree.h"

using namespace kv;

namespace kvtest {
namespace {

constexpr LONG kMid = RenderTest::kSize / 2;

using Picking = RenderTest;

ComPtr<IDirect3DRMPickedArray> PickAt(IDirect3DRMViewport2* v, LONG x, LONG y) {
  ComPtr<IDirect3DRMPickedArray> picked;
  EXPECT_EQ(v->Pick(x, y, picked.ReleaseAndGetAddressOf()), D3DRM_OK);
  return picked;
}

std::vector<IDirect3DRMFrame3*> FramesOf(IDirect3DRMPickedArray* picked, DWORD i) {
  ComPtr<IDirect3DRMFrameArray> frames;
  EXPECT_EQ(picked->GetPick(i, nullptr, frames.ReleaseAndGetAddressOf(), nullptr), D3DRM_OK);
  std::vector<IDirect3DRMFrame3*> out;
  for (DWORD k = 0; frames && k < frames->GetSize(); ++k) {
    ComPtr<IDirect3DRMFrame3> f;
    EXPECT_EQ(frames->GetElement(k, f.ReleaseAndGetAddressOf()), D3DRM_OK);
    out.push_back(f.Get());
  }
  return out;
}

TEST_F(Picking, NearestFirstWithTheFramesRootDown) {
  ComPtr<IDirect3DRMFrame3> far = PlaceCube(scene.Get(), 0, 0, 20, 1);
  ComPtr<IDirect3DRMFrame3> parent = NewFrame(scene.Get());
  ASSERT_EQ(parent->SetPosition(scene.Get(), 0, 0, 4), D3DRM_OK);
  ComPtr<IDirect3DRMFrame3> near = PlaceCube(parent.Get(), 0, 0, 2, 1);  // world z 6
  ComPtr<IDirect3DRMPickedArray> picked = PickAt(viewport.Get(), kMid, kMid);
  ASSERT_EQ(picked->GetSize(), 2u);
  EXPECT_EQ(FramesOf(picked.Get(), 0), (std::vector<IDirect3DRMFrame3*>{scene.Get(), parent.Get(), near.Get()}));
  EXPECT_EQ(FramesOf(picked.Get(), 1), (std::vector<IDirect3DRMFrame3*>{scene.Get(), far.Get()}));
  ComPtr<IDirect3DRMVisual> visual;
  D3DRMPICKDESC desc;
  ASSERT_EQ(picked->GetPick(0, visual.ReleaseAndGetAddressOf(), nullptr, &desc), D3DRM_OK);
  ComPtr<IDirect3DRMVisualArray> nearVisuals;
  ASSERT_EQ(near->GetVisualArray(nearVisuals.ReleaseAndGetAddressOf()), D3DRM_OK);
  ComPtr<IDirect3DRMVisual> expected;
  ASSERT_EQ(nearVisuals->GetElement(0, expected.ReleaseAndGetAddressOf()), D3DRM_OK);
  EXPECT_EQ(visual.Get(), expected.Get());
  EXPECT_EQ(desc.ulFaceIdx, 0u);  // the face towards the camera
  EXPECT_NEAR(desc.vPosition.z, 5, 1e-3);
  EXPECT_EQ(picked->GetPick(2, nullptr, nullptr, nullptr), D3DRMERR_BADVALUE);

  // Off to the side only the far cube's outline is under the pointer
  // (moved to x 3 it covers pixels 121..142; the near one ends at 140).
  ASSERT_EQ(far->SetPosition(scene.Get(), 3, 0, 20), D3DRM_OK);
  picked = PickAt(viewport.Get(), 141, kMid);
  ASSERT_EQ(picked->GetSize(), 1u);
  EXPECT_EQ(FramesOf(picked.Get(), 0).back(), far.Get());
}

TEST_F(Picking, EmptySpaceDisabledFramesAndOutsideTheViewport) {
  ComPtr<IDirect3DRMFrame3> cube = PlaceCube(scene.Get(), 0, 0, 5, 1);
  EXPECT_EQ(PickAt(viewport.Get(), 2, 2)->GetSize(), 0u);
  EXPECT_EQ(PickAt(viewport.Get(), -5, kMid)->GetSize(), 0u);
  EXPECT_EQ(PickAt(viewport.Get(), kMid, 5000)->GetSize(), 0u);
  ASSERT_EQ(cube->SetTraversalOptions(D3DRMFRAME_RENDERENABLE), D3DRM_OK);
  EXPECT_EQ(PickAt(viewport.Get(), kMid, kMid)->GetSize(), 0u);
  // Beyond the back plane nothing is picked.
  ASSERT_EQ(cube->SetTraversalOptions(D3DRMFRAME_RENDERENABLE | D3DRMFRAME_PICKENABLE), D3DRM_OK);
  ASSERT_EQ(cube->SetPosition(scene.Get(), 0, 0, 150), D3DRM_OK);
  EXPECT_EQ(PickAt(viewport.Get(), kMid, kMid)->GetSize(), 0u);
  EXPECT_EQ(viewport->Pick(kMid, kMid, nullptr), D3DRMERR_BADVALUE);
}

TEST_F(Picking, ThroughScaledAndTurnedFramesNestedThreeDeep) {
  ComPtr<IDirect3DRMFrame3> outer = NewFrame(scene.Get());
  ASSERT_EQ(outer->SetPosition(scene.Get(), 0, 0, 10), D3DRM_OK);
  ASSERT_EQ(outer->AddScale(D3DRMCOMBINE_BEFORE, 2, 2, 2), D3DRM_OK);
  ComPtr<IDirect3DRMFrame3> turned = NewFrame(outer.Get());
  ASSERT_EQ(turned->AddRotation(D3DRMCOMBINE_REPLACE, 0, 1, 0, 3.14159265f), D3DRM_OK);
  // Local z 2 turned half round and doubled: world z 6, a box from 5 to 7.
  ComPtr<IDirect3DRMFrame3> inner = PlaceCube(turned.Get(), 0, 0, 2, 0.5f);
  ComPtr<IDirect3DRMPickedArray> picked = PickAt(viewport.Get(), kMid, kMid);
  ASSERT_EQ(picked->GetSize(), 1u);
  EXPECT_EQ(FramesOf(picked.Get(), 0),
            (std::vector<IDirect3DRMFrame3*>{scene.Get(), outer.Get(), turned.Get(), inner.Get()}));
  D3DRMPICKDESC desc;
  ASSERT_EQ(picked->GetPick(0, nullptr, nullptr, &desc), D3DRM_OK);
  EXPECT_NEAR(desc.vPosition.z, 5, 1e-3);
  EXPECT_EQ(desc.ulFaceIdx, 1u);  // the cube's own +z face, turned towards the camera
}

TEST_F(Picking, SeesEveryGeometryEditAtOnce) {
  ComPtr<IDirect3DRMMeshBuilder3> cube = NewCube(1, 0xffffffff);
  ComPtr<IDirect3DRMFrame3> frame = NewFrame(scene.Get());
  ASSERT_EQ(frame->SetPosition(scene.Get(), 0, 0, 5), D3DRM_OK);
  ASSERT_EQ(frame->AddVisual(cube.Get()), D3DRM_OK);
  auto nearestZ = [&] {
    ComPtr<IDirect3DRMPickedArray> picked = PickAt(viewport.Get(), kMid, kMid);
    D3DRMPICKDESC desc;
    if (picked->GetSize() == 0 || picked->GetPick(0, nullptr, nullptr, &desc) != D3DRM_OK)
      return std::numeric_limits<float>::quiet_NaN();
    return desc.vPosition.z;
  };
  EXPECT_NEAR(nearestZ(), 4, 1e-3);
  ASSERT_EQ(cube->Translate(0, 0, 3), D3DRM_OK);
  EXPECT_NEAR(nearestZ(), 7, 1e-3);
  ASSERT_EQ(cube->Translate(50, 0, 0), D3DRM_OK);
  EXPECT_TRUE(std::isnan(nearestZ()));
  ASSERT_EQ(cube->Empty(0), D3DRM_OK);
  EXPECT_TRUE(std::isnan(nearestZ()));
  // A thin square in front of the camera at local z -2 (world 3).
  const D3DVECTOR square[4] = {{-1, -1, -2}, {-1, 1, -2}, {1, 1, -2}, {1, -1, -2}};
  const DWORD face[] = {4, 0, 1, 2, 3, 0};
  ASSERT_EQ(cube->AddFaces(4, square, 0, nullptr, face, nullptr), D3DRM_OK);
  EXPECT_NEAR(nearestZ(), 3, 1e-3);
  ASSERT_EQ(cube->SetVertex(0, -1, -1, -1), D3DRM_OK);  // the diagonal through the middle now runs from z 4 to 3
  EXPECT_NEAR(nearestZ(), 3.5f, 0.05f);

  // A frozen copy is picked through a tree of its own and keeps the old shape.
  ComPtr<IDirect3DRMMesh> frozen;
  ASSERT_EQ(cube->CreateMesh(frozen.ReleaseAndGetAddressOf()), D3DRM_OK);
  ASSERT_EQ(frame->DeleteVisual(cube.Get()), D3DRM_OK);
  ASSERT_EQ(frame->AddVisual(frozen.Get()), D3DRM_OK);
  ASSERT_EQ(cube->Translate(0, 0, 10), D3DRM_OK);
  EXPECT_NEAR(nearestZ(), 3.5f, 0.05f);
}

// The tree against a scan of every triangle in face order, the first of
// equal distances winning: random triangle clouds with duplicates, and a
// flat grid of quads hit exactly on shared edges and corners.
using kv::rm::operator+;

struct Scanned {
  bool found = false;
  kv::rm::TriangleHit hit;
};

Scanned ScanEveryTriangle(const kv::rm::MeshGeometry& g, kv::rm::Vec3 o, kv::rm::Vec3 d) {
  Scanned s;
  s.hit.t = std::numeric_limits<float>::infinity();
  for (std::size_t f = 0; f < g.FaceCount(); ++f) {
    const std::uint32_t first = g.faceStart[f];
    for (std::uint32_t i = 1; i + 1 < g.FaceSize(f); ++i) {
      float t;
      if (kv::rm::SegmentMeetsTriangle(o, d, g.positions[g.cornerVertex[first]],
                                       g.positions[g.cornerVertex[first + i]],
                                       g.positions[g.cornerVertex[first + i + 1]], t) &&
          t < s.hit.t) {
        s = {true, {t, static_cast<std::uint32_t>(f)}};
      }
    }
  }
  return s;
}

void AddFace(kv::rm::MeshGeometry& g, std::initializer_list<kv::rm::Vec3> corners) {
  for (const kv::rm::Vec3& c : corners) {
    g.cornerVertex.push_back(static_cast<std::uint32_t>(g.positions.size()));
    g.cornerNormal.push_back(0);
    g.positions.push_back(c);
  }
  g.faceStart.push_back(static_cast<std::uint32_t>(g.cornerVertex.size()));
  g.faceGroup.push_back(0);
}

void ExpectSameAsScan(const kv::rm::MeshGeometry& g, const kv::rm::TriangleTree& tree, kv::rm::Vec3 o,
                      kv::rm::Vec3 d) {
  const Scanned expected = ScanEveryTriangle(g, o, d);
  kv::rm::TriangleHit hit;
  ASSERT_EQ(tree.Nearest(o, d, hit), expected.found) << o.x << "," << o.y << "," << o.z;
  if (!expected.found) return;
  EXPECT_EQ(hit.face, expected.hit.face);
  EXPECT_EQ(hit.t, expected.hit.t);
}

TEST(TriangleTree, GivesWhatScanningEveryTriangleGives) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> spot(-10, 10), size(-1, 1);
  for (int round = 0; round < 4; ++round) {
    kv::rm::MeshGeometry g;
    for (int f = 0; f < 600; ++f) {
      const kv::rm::Vec3 c{spot(rng), spot(rng), spot(rng)};
      const kv::rm::Vec3 a = c + kv::rm::Vec3{size(rng), size(rng), size(rng)};
      const kv::rm::Vec3 b = c + kv::rm::Vec3{size(rng), size(rng), size(rng)};
      const kv::rm::Vec3 e = c + kv::rm::Vec3{size(rng), size(rng), size(rng)};
      AddFace(g, {a, b, e});
      if (f % 7 == 0) AddFace(g, {a, b, e});  // an exact duplicate: equal distances
      if (f % 11 == 0) AddFace(g, {a, b, e, c});  // a fan of two
    }
    const kv::rm::TriangleTree tree(g);
    for (int ray = 0; ray < 400; ++ray) {
      const kv::rm::Vec3 o{spot(rng) * 2, spot(rng) * 2, -30};
      kv::rm::Vec3 d{spot(rng) * 2 - o.x, spot(rng) * 2 - o.y, 60};
      if (ray % 5 == 0) d = {0, 0, 60};   // parallel to two axes
      if (ray % 5 == 1) d = {60, 0, 0};
      ExpectSameAsScan(g, tree, ray % 5 == 1 ? kv::rm::Vec3{-30, o.x / 2, o.y / 2} : o, d);
    }
  }
  // Unit quads on z 0, every one a fan of two triangles sharing a diagonal;
  // rays straight down on corners, edges and diagonals meet several faces
  // at the same distance.
  kv::rm::MeshGeometry grid;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      AddFace(grid, {{float(x), float(y), 0}, {float(x), float(y + 1), 0}, {float(x + 1), float(y + 1), 0},
                     {float(x + 1), float(y), 0}});
  const kv::rm::TriangleTree gridTree(grid);
  for (float y = -0.5f; y <= 20.5f; y += 0.5f)
    for (float x = -0.5f; x <= 20.5f; x += 0.5f) ExpectSameAsScan(grid, gridTree, {x, y, -1}, {0, 0, 2});
  kv::rm::TriangleHit hit;
  EXPECT_FALSE(kv::rm::TriangleTree(kv::rm::MeshGeometry{}).Nearest({0, 0, -1}, {0, 0, 2}, hit));
}

}  // namespace
}  // namespace kvtest
