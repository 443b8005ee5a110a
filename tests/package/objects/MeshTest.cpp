// The mesh: faces taken out, deleted and added, vertex editing, the box and
// when it is refreshed, Assign, normals and shape selection. Indices from
// the caller are checked against the data.
#include <algorithm>
#include <cmath>
#include <limits>

#include "ObjectFixture.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/objects/Kv3dquality.h"

using namespace kv;

namespace kvtest {
namespace {

using Words = std::vector<std::uint32_t>;
constexpr std::uint32_t kFar = std::numeric_limits<std::uint32_t>::max();

TEST_F(ObjectTest, GetFaceMakesAFreeStandingFaceOfOwnVertices) {
  TKV3DObject* o = MakeShape(stCube);
  const TKV3DMesh& m = *o->Mesh();
  const auto records = Records(m);
  ASSERT_EQ(records.size(), 24u);
  for (std::uint32_t i = 0; i < records.size(); ++i) {
    std::unique_ptr<TKV3DFace> face;
    ASSERT_FALSE(m.GetFace(i, face));
    EXPECT_EQ(face->FaceDataArray(), (Words{4, 0, 0, 1, 1, 2, 2, 3, 3, 0}));
    for (std::uint32_t k = 0; k < 4; ++k) {
      const D3DVECTOR v = m.Vertices()[records[i][1 + 2 * k]];
      const D3DVECTOR n = m.Normals()[records[i][2 + 2 * k]];
      EXPECT_VEC(face->Vertices()[k], v.x, v.y, v.z);
      EXPECT_VEC(face->Normals()[k], n.x, n.y, n.z);
    }
  }
  // The terminator and beyond: no face, and no read past the copy.
  for (std::uint32_t bad : {24u, 25u, kFar}) {
    std::unique_ptr<TKV3DFace> face;
    EXPECT_TRUE(m.GetFace(bad, face));
    EXPECT_FALSE(face);
    EXPECT_TRUE(m.SearchFace(bad).empty());
  }
  EXPECT_NE(LastErrorText().find("no face"), std::string::npos);
  EXPECT_EQ(m.SearchFace(1).data(), m.FaceData().data() + 9);
  std::unique_ptr<TKV3DFace> none;
  EXPECT_TRUE(Make()->Mesh()->GetFace(0, none));

  // Records that are cut short or point outside the arrays give nothing.
  const std::vector<D3DVECTOR> v{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, n{{0, 0, -1}};
  std::vector<D3DVECTOR> outV, outN;
  Words outF{7};
  for (const Words& bad : {Words{3, 0, 0, 1, 0}, Words{2, 0, 0, 1, 0}, Words{3, 0, 0, 1, 0, 3, 0}, Words{3, 0, 0, 1, 1, 2, 0}})
    EXPECT_FALSE(TKV3DMesh::MakeFaceData(v, n, bad, outV, outN, outF));
  EXPECT_EQ(outF, Words{7});
}

TEST_F(ObjectTest, DeleteFaceRemovesOneRecordAndKeepsTheVertices) {
  TKV3DObject* o = MakeShape(stCube);
  TKV3DMesh& m = *o->Mesh();
  const auto before = Records(m);
  const std::uint32_t vertices = m.VertexCount();
  ASSERT_TRUE(m.DeleteFace(1));
  const auto after = Records(m);
  ASSERT_EQ(after.size(), 23u);
  EXPECT_EQ(after[1], before[2]);
  EXPECT_EQ(m.VertexCount(), vertices);
  EXPECT_EQ(Builder(o)->GetFaceCount(), 23);

  ASSERT_TRUE(m.DeleteFace(22));  // the last one: the terminator stays
  EXPECT_EQ(m.FaceData().back(), 0u);
  // Past the end: nothing removed, but refilled from the copies and rebuilt.
  m.SetVertexXYZ(0, 5, 5, 5);
  EXPECT_FALSE(m.DeleteFace(22));
  EXPECT_NE(LastErrorText().find("no face 22"), std::string::npos);
  EXPECT_EQ(Records(m).size(), 22u);
  EXPECT_NEAR(o->BoxMax().x, 0.5f, kTol);
}

TEST_F(ObjectTest, SetFaceReplacesAddFaceAppendsAndMalformedSetsAreRefused) {
  TKV3DObject* o = MakeShape(stPrism);  // one triangle
  TKV3DMesh& m = *o->Mesh();
  const TKV3DFace quad({{0, 0, 0}, {0, 2, 0}, {2, 2, 0}, {2, 0, 0}}, {{0, 0, -1}}, {4, 0, 0, 1, 0, 2, 0, 3, 0, 0});
  ASSERT_TRUE(m.AddFace(&quad));
  EXPECT_EQ(Builder(o)->GetFaceCount(), 2);
  EXPECT_NEAR(o->BoxMax().y, 2, kTol);
  ASSERT_TRUE(m.SetFace(&quad));
  EXPECT_EQ(Builder(o)->GetFaceCount(), 1);
  EXPECT_EQ(m.VertexCount(), 4u);

  const TKV3DFace broken({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, -1}}, {3, 0, 0, 1, 0, 7, 0, 0});
  EXPECT_FALSE(m.SetFace(&broken));
  EXPECT_FALSE(m.AddFace(&broken));
  EXPECT_FALSE(m.AddFace(nullptr));
  EXPECT_EQ(Builder(o)->GetFaceCount(), 1);
  EXPECT_EQ(m.VertexCount(), 4u);
  EXPECT_FALSE(Make()->Mesh()->AddFace(&quad));  // no builder to add to
}

TEST_F(ObjectTest, VertexEditsReachTheBuilderOnlyAndTheBoxWaitsForChange) {
  TKV3DObject* o = MakeShape(stCube);
  TKV3DMesh& m = *o->Mesh();
  const D3DVECTOR v0 = m.GetVertexXYZ(0);
  ASSERT_TRUE(m.SetVertexX(0, 3.0f));
  EXPECT_VEC(m.GetVertexXYZ(0), 3.0f, v0.y, v0.z);
  EXPECT_NEAR(o->BoxMax().x, 0.5f, kTol);  // stale until Change
  m.Change();
  EXPECT_NEAR(o->BoxMax().x, 3.0f, kTol);

  for (std::uint32_t bad : {m.VertexCount(), kFar}) {
    EXPECT_FALSE(m.SetVertexY(bad, 1));
    EXPECT_VEC(m.GetVertexXYZ(bad), 0, 0, 0);
  }
  EXPECT_NE(LastErrorText().find("out of range"), std::string::npos);
  EXPECT_FALSE(m.SetVertexX(1, std::numeric_limits<float>::infinity()));
  EXPECT_FALSE(Make()->Mesh()->SetVertexXYZ(0, 1, 2, 3));

  // The handle reads and writes one builder vertex.
  TKV3DVertex handle(&m, 2);
  ASSERT_TRUE(handle.SetY(7.0f));
  EXPECT_EQ(m.GetVertexY(2), 7.0f);
  TKV3DVertex outside(&m, m.VertexCount());
  EXPECT_EQ(outside.GetX(), 0.0f);
  EXPECT_FALSE(outside.SetX(4.0f));
  TKV3DVertex loose(1, 2, 3);  // no mesh: stores, reads 0
  EXPECT_TRUE(loose.SetX(5));
  EXPECT_EQ(loose.GetX(), 0.0f);
}

TEST_F(ObjectTest, AssignRegeneratesFromTheSourcesParameters) {
  TKV3DObject* source = Make();
  TKV3DMesh* s = source->Mesh();
  s->Sphere()->SetEdges(5);
  s->Sphere()->SetWalls(4);
  s->Cube()->SetGrid(5);
  s->SetActiveShape(stSphere);
  s->SetVertexXYZ(0, 9, 9, 9);  // an edit is not a parameter

  TKV3DMesh* t = MakeShape(stCube)->Mesh();
  ASSERT_TRUE(t->Assign(s));
  EXPECT_EQ(t->ActiveShape(), stSphere);
  EXPECT_EQ(t->Cube()->Grid(), 5);
  EXPECT_EQ(Records(*t), Records(*s));
  EXPECT_VEC(t->GetVertexXYZ(0), 1, 0, 0);
  EXPECT_FALSE(t->Assign(source->Quality()));
  EXPECT_EQ(t->ActiveShape(), stSphere);

}

TEST_F(ObjectTest, AMeshCopyTakesTheArraysAndLeavesTheObjectAlone) {
  TKV3DMesh* t = MakeShape(stSphere)->Mesh();
  TKV3DObject* other = MakeShape(stPrism);
  IDirect3DRMMeshBuilder3* shown = Builder(other);
  const int faces = shown->GetFaceCount();
  ASSERT_EQ(MeshVisuals(other), 1);
  for (const TKV3DMesh* source : {t, other->Mesh()}) {
    TKV3DMesh copy(other, *source);
    EXPECT_EQ(copy.FaceDataSize(), source->FaceDataSize());
    EXPECT_TRUE(std::ranges::equal(copy.FaceData(), source->FaceData()));
    EXPECT_TRUE(copy.GetIDirect3DMeshBuilder() == nullptr && copy.File() == nullptr);
    // The object shows what it showed, on its frame.
    EXPECT_EQ(Builder(other), shown);
    EXPECT_EQ(shown->GetFaceCount(), faces);
    EXPECT_EQ(MeshVisuals(other), 1);
  }
  EXPECT_EQ(MeshVisuals(other), 1);
}

TEST_F(ObjectTest, GenerateNormalsGivesEachFaceItsOwnNormals) {
  TKV3DObject* o = MakeShape(stSphere);
  TKV3DMesh& m = *o->Mesh();
  IDirect3DRMMeshBuilder3* before = Builder(o);
  m.SetGenerateNormals(false);  // unchanged: nothing happens
  EXPECT_EQ(Builder(o), before);
  m.SetGenerateNormals(true);
  std::uint32_t corners = 0;
  for (const auto& r : Records(m)) corners += r[0];
  EXPECT_EQ(m.NormalCount(), corners);  // crease angle 0: none shared
  for (const D3DVECTOR& n : m.Normals()) EXPECT_NEAR(std::hypot(n.x, n.y, n.z), 1.0f, 1e-3f);
}

TEST_F(ObjectTest, ShapeSelectionAndTheBoxFollowTheSource) {
  TKV3DObject* o = MakeShape(stCube);
  o->Scale()->SetY(4);
  o->Mesh()->Cube()->SetGrid(4);
  EXPECT_VEC(o->BoxMax(), 0.5f, 2.0f, 0.5f);
  EXPECT_EQ(Builder(o)->GetFaceCount(), 54);
  // Back to a file without a name: no geometry, and nothing left drawn.
  o->Mesh()->SetActiveShape(stFile);
  EXPECT_EQ(Builder(o), nullptr);
  EXPECT_EQ(MeshVisuals(o), 0);
  EXPECT_FALSE(o->Mesh()->SetActiveShape(static_cast<TMShapeType>(7)));
  EXPECT_EQ(o->Mesh()->ActiveShape(), stFile);
}

}  // namespace
}  // namespace kvtest
