// The mesh: faces taken out, searched, deleted and added; vertex editing
// and the vertex handle; the box and when it is refreshed; Assign, the
// copying constructor, normals and shape selection. Indices from the caller
// are checked against the data.
#include <cmath>
#include <limits>

#include "ObjectFixture.h"
#include "host/Error.h"
#include "objects/Kv3dquality.h"

namespace kvtest {
namespace {

using Words = std::vector<std::uint32_t>;

TEST_F(ObjectTest, GetFaceMakesAFreeStandingFaceOfOwnVertices) {
  TKV3DObject* o = MakeShape(stCube);
  const TKV3DMesh& m = *o->Mesh();
  const auto records = Records(m);
  ASSERT_EQ(records.size(), 24u);
  for (std::uint32_t i = 0; i < records.size(); ++i) {
    std::unique_ptr<TKV3DFace> face;
    ASSERT_FALSE(m.GetFace(i, face));
    ASSERT_TRUE(face);
    const std::uint32_t n = records[i][0];
    Words expected{n};
    for (std::uint32_t k = 0; k < n; ++k) expected.insert(expected.end(), {k, k});
    expected.push_back(0);
    EXPECT_EQ(face->FaceDataArray(), expected);
    ASSERT_EQ(face->VertexCount(), n);
    ASSERT_EQ(face->NormalCount(), n);
    for (std::uint32_t k = 0; k < n; ++k) {
      const D3DVECTOR v = m.Vertices()[records[i][1 + 2 * k]];
      const D3DVECTOR nrm = m.Normals()[records[i][2 + 2 * k]];
      EXPECT_VEC(face->Vertices()[k], v.x, v.y, v.z);
      EXPECT_VEC(face->Normals()[k], nrm.x, nrm.y, nrm.z);
    }
  }
  // Past the last face, on the terminator and far beyond: no face.
  for (std::uint32_t bad : {24u, 25u, std::numeric_limits<std::uint32_t>::max()}) {
    std::unique_ptr<TKV3DFace> face;
    EXPECT_TRUE(m.GetFace(bad, face));
    EXPECT_FALSE(face);
    EXPECT_TRUE(m.SearchFace(bad).empty());
  }
  EXPECT_NE(LastErrorText().find("no face"), std::string::npos);
  EXPECT_EQ(m.SearchFace(0).data(), m.FaceData().data());
  EXPECT_EQ(m.SearchFace(1).data(), m.FaceData().data() + 9);

  TKV3DObject* empty = Make();
  std::unique_ptr<TKV3DFace> none;
  EXPECT_TRUE(empty->Mesh()->GetFace(0, none));
  EXPECT_FALSE(none);
}

TEST_F(ObjectTest, MakeFaceDataRefusesBrokenRecordsAndLeavesItsOutputs) {
  const std::vector<D3DVECTOR> v{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const std::vector<D3DVECTOR> n{{0, 0, -1}};
  std::vector<D3DVECTOR> outV{{9, 9, 9}}, outN;
  Words outF{7};
  struct Row {
    Words record;
    const char* why;
  };
  const Row rows[] = {{{}, "empty"},
                      {{3, 0, 0, 1, 0}, "truncated"},
                      {{2, 0, 0, 1, 0}, "fewer than three corners"},
                      {{3, 0, 0, 1, 0, 3, 0}, "vertex index past the end"},
                      {{3, 0, 0, 1, 1, 2, 0}, "normal index past the end"}};
  for (const Row& row : rows) {
    EXPECT_FALSE(TKV3DMesh::MakeFaceData(v, n, row.record, outV, outN, outF)) << row.why;
    EXPECT_EQ(outV.size(), 1u);
    EXPECT_EQ(outF, Words{7});
  }
  ASSERT_TRUE(TKV3DMesh::MakeFaceData(v, n, Words{3, 2, 0, 1, 0, 0, 0, 0}, outV, outN, outF));
  EXPECT_EQ(outF, (Words{3, 0, 0, 1, 1, 2, 2, 0}));
  EXPECT_VEC(outV[0], 0, 1, 0);
  EXPECT_VEC(outN[2], 0, 0, -1);
}

TEST_F(ObjectTest, DeleteFaceRemovesOneRecordAndKeepsTheVertices) {
  TKV3DObject* o = MakeShape(stCube);
  TKV3DMesh& m = *o->Mesh();
  const auto before = Records(m);
  const std::uint32_t vertices = m.VertexCount();
  const std::uint32_t words = m.FaceDataSize();

  ASSERT_TRUE(m.DeleteFace(1));
  auto after = Records(m);
  ASSERT_EQ(after.size(), before.size() - 1);
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(after[1], before[2]);
  EXPECT_EQ(m.FaceDataSize(), words - 9);
  EXPECT_EQ(m.VertexCount(), vertices);
  EXPECT_EQ(Builder(o)->GetFaceCount(), 23);

  // The last face: the terminator stays.
  ASSERT_TRUE(m.DeleteFace(22));
  EXPECT_EQ(m.FaceData().back(), 0u);
  EXPECT_EQ(Records(m).size(), 22u);

  // Past the end: nothing removed, but still refilled and rebuilt (a
  // stale box is refreshed).
  m.SetVertexXYZ(0, 5, 5, 5);
  EXPECT_FALSE(m.DeleteFace(22));
  EXPECT_NE(LastErrorText().find("no face 22"), std::string::npos);
  EXPECT_EQ(Records(m).size(), 22u);
  EXPECT_NEAR(o->BoxMax().x, 0.5f, kTol);  // the refill came from the copies
}

TEST_F(ObjectTest, SetFaceReplacesAddFaceAppendsAndMalformedSetsAreRefused) {
  TKV3DObject* o = MakeShape(stPrism);  // one triangle
  TKV3DMesh& m = *o->Mesh();
  const TKV3DFace quad({{0, 0, 0}, {0, 2, 0}, {2, 2, 0}, {2, 0, 0}}, {{0, 0, -1}}, {4, 0, 0, 1, 0, 2, 0, 3, 0, 0});
  ASSERT_TRUE(m.AddFace(&quad));
  EXPECT_EQ(Builder(o)->GetFaceCount(), 2);
  EXPECT_EQ(m.VertexCount(), 3u + 4u);
  EXPECT_NEAR(o->BoxMax().y, 2, kTol);

  ASSERT_TRUE(m.SetFace(&quad));
  EXPECT_EQ(Builder(o)->GetFaceCount(), 1);
  EXPECT_EQ(m.VertexCount(), 4u);
  EXPECT_EQ(MeshVisuals(o), 1);

  const TKV3DFace broken({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, -1}}, {3, 0, 0, 1, 0, 7, 0, 0});
  const Words kept(m.FaceData().begin(), m.FaceData().end());
  EXPECT_FALSE(m.SetFace(&broken));
  EXPECT_FALSE(m.AddFace(&broken));
  EXPECT_FALSE(m.AddFace(nullptr));
  EXPECT_EQ(Words(m.FaceData().begin(), m.FaceData().end()), kept);
  EXPECT_EQ(Builder(o)->GetFaceCount(), 1);

  // Without a builder there is nothing to add to.
  TKV3DObject* empty = Make();
  EXPECT_FALSE(empty->Mesh()->AddFace(&quad));
  EXPECT_EQ(Builder(empty), nullptr);
}

TEST_F(ObjectTest, VertexEditsReachTheBuilderOnlyAndTheBoxWaitsForChange) {
  TKV3DObject* o = MakeShape(stCube);
  TKV3DMesh& m = *o->Mesh();
  const D3DVECTOR v0 = m.GetVertexXYZ(0);
  ASSERT_TRUE(m.SetVertexX(0, 3.0f));
  EXPECT_VEC(m.GetVertexXYZ(0), 3.0f, v0.y, v0.z);
  ASSERT_TRUE(m.SetVertexZ(0, -4.0f));
  EXPECT_VEC(m.GetVertexXYZ(0), 3.0f, v0.y, -4.0f);
  EXPECT_NEAR(o->BoxMax().x, 0.5f, kTol);  // stale until Change
  EXPECT_NEAR(m.Vertices()[0].x, v0.x, kTol);
  m.Change();
  EXPECT_NEAR(o->BoxMax().x, 3.0f, kTol);
  EXPECT_NEAR(o->BoxMin().z, -4.0f, kTol);

  // Out of range, and not finite: refused, nothing written.
  const std::uint32_t count = m.VertexCount();
  for (std::uint32_t bad : {count, std::numeric_limits<std::uint32_t>::max()}) {
    EXPECT_FALSE(m.SetVertexXYZ(bad, 1, 1, 1));
    EXPECT_FALSE(m.SetVertexY(bad, 1));
    EXPECT_VEC(m.GetVertexXYZ(bad), 0, 0, 0);
    EXPECT_EQ(m.GetVertexY(bad), 0.0f);
  }
  EXPECT_NE(LastErrorText().find("out of range"), std::string::npos);
  EXPECT_FALSE(m.SetVertexX(1, std::numeric_limits<float>::infinity()));
  EXPECT_EQ(Builder(o)->GetVertexCount(), static_cast<int>(count));

  TKV3DObject* empty = Make();
  EXPECT_FALSE(empty->Mesh()->SetVertexXYZ(0, 1, 2, 3));
  EXPECT_VEC(empty->Mesh()->GetVertexXYZ(0), 0, 0, 0);
}

TEST_F(ObjectTest, AVertexHandleReadsAndWritesOneBuilderVertex) {
  TKV3DObject* o = MakeShape(stCube);
  TKV3DMesh* m = o->Mesh();
  const D3DVECTOR v2 = m->GetVertexXYZ(2);
  TKV3DVertex handle(m, 2);
  EXPECT_EQ(handle.X(), v2.x);
  EXPECT_EQ(handle.Z(), v2.z);
  ASSERT_TRUE(handle.SetY(7.0f));
  EXPECT_VEC(m->GetVertexXYZ(2), v2.x, 7.0f, v2.z);
  m->SetVertexXYZ(2, 1, 1, 1);
  EXPECT_EQ(handle.GetX(), 1.0f);

  TKV3DVertex outside(m, m->VertexCount());
  EXPECT_EQ(outside.GetX(), 0.0f);
  EXPECT_FALSE(outside.SetX(4.0f));
  EXPECT_EQ(outside.X(), 4.0f);

  // A free vertex only stores; reading asks nobody and gives 0.
  TKV3DVertex loose(1, 2, 3);
  EXPECT_EQ(loose.Mesh(), nullptr);
  EXPECT_TRUE(loose.SetX(5));
  EXPECT_EQ(loose.X(), 5.0f);
  EXPECT_EQ(loose.GetX(), 0.0f);
  EXPECT_EQ(loose.X(), 0.0f);
}

TEST_F(ObjectTest, AssignRegeneratesFromTheSourcesParameters) {
  TKV3DObject* source = Make();
  TKV3DMesh* s = source->Mesh();
  s->Sphere()->SetEdges(5);
  s->Sphere()->SetWalls(4);
  s->Prism()->SetVertices(7);
  s->Cube()->SetGrid(5);
  s->SetActiveShape(stSphere);
  s->SetVertexXYZ(0, 9, 9, 9);  // an edit is not a parameter
  s->Change();

  TKV3DObject* target = MakeShape(stCube);
  ASSERT_TRUE(target->Mesh()->Assign(s));
  TKV3DMesh* t = target->Mesh();
  EXPECT_EQ(t->ActiveShape(), stSphere);
  EXPECT_EQ(t->Sphere()->Edges(), 5);
  EXPECT_EQ(t->Prism()->Vertices(), 7);
  EXPECT_EQ(t->Cube()->Grid(), 5);
  EXPECT_EQ(Records(*t), Records(*s));
  EXPECT_VEC(t->GetVertexXYZ(0), 1, 0, 0);

  // Not a mesh: refused, the target unchanged.
  const std::uint32_t vertices = t->VertexCount();
  EXPECT_FALSE(t->Assign(source->Quality()));
  EXPECT_EQ(t->VertexCount(), vertices);
}

TEST_F(ObjectTest, TheCopyingConstructorTakesTheArraysOnly) {
  TKV3DObject* source = MakeShape(stCube);
  TKV3DObject* other = MakeShape(stPrism);
  {
    TKV3DMesh copy(other, *source->Mesh());
    EXPECT_EQ(copy.FaceDataSize(), source->Mesh()->FaceDataSize());
    EXPECT_EQ(copy.GetIDirect3DMeshBuilder(), nullptr);
    EXPECT_EQ(copy.File(), nullptr);
    EXPECT_EQ(copy.Cube(), nullptr);
    // The object's current builder was refilled with the copied geometry.
    EXPECT_EQ(Builder(other)->GetFaceCount(), 24);
  }
  EXPECT_EQ(Builder(other)->GetFaceCount(), 24);
}

TEST_F(ObjectTest, GenerateNormalsRegeneratesWithOwnNormalsPerFace) {
  TKV3DObject* o = MakeShape(stSphere);
  TKV3DMesh& m = *o->Mesh();
  const std::uint32_t shared = m.NormalCount();
  IDirect3DRMMeshBuilder3* before = Builder(o);
  m.SetGenerateNormals(false);  // unchanged: nothing happens
  EXPECT_EQ(Builder(o), before);
  m.SetGenerateNormals(true);
  EXPECT_NE(Builder(o), before);
  // Crease angle 0: no normal is shared between faces any more.
  std::uint32_t corners = 0;
  for (const auto& r : Records(m)) corners += r[0];
  EXPECT_GT(m.NormalCount(), shared);
  EXPECT_EQ(m.NormalCount(), corners);
  for (const D3DVECTOR& n : m.Normals()) EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0f, 1e-3f);
}

TEST_F(ObjectTest, ShapeSelectionAndTheBoxFollowTheSource) {
  TKV3DObject* o = MakeShape(stCube);
  EXPECT_VEC(o->BoxMin(), -0.5f, -0.5f, -0.5f);
  o->Scale()->SetY(4);
  o->Mesh()->Cube()->SetGrid(4);
  EXPECT_VEC(o->BoxMax(), 0.5f, 2.0f, 0.5f);
  EXPECT_EQ(Builder(o)->GetFaceCount(), 54);

  // Back to a file without a name: no geometry, and nothing left drawn.
  o->Mesh()->SetActiveShape(stFile);
  EXPECT_EQ(Builder(o), nullptr);
  EXPECT_EQ(MeshVisuals(o), 0);
  EXPECT_EQ(o->Mesh()->File()->Format(), ffText);
  EXPECT_FALSE(o->Mesh()->SetActiveShape(static_cast<TMShapeType>(7)));
  EXPECT_EQ(o->Mesh()->ActiveShape(), stFile);
}

}  // namespace
}  // namespace kvtest
