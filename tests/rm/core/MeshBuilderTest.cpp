// Mesh builders: the face-data layout both ways, normals, boxes, edits that
// must refuse bad indices, snapshots, and files.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "RmTesting.h"
#include "rm/image/BmpBuilder.h"
#include "support/SharedTestData.h"
#include "korvane3d/rm/EngineLock.h"
#include "korvane3d/rm/MeshBuilder.h"
#include "korvane3d/rm/Texture.h"

namespace kv::rm::testing {
namespace {

// Four vertices and three triangles; the last two are the same triangle.
const D3DVECTOR kOkVertices[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
const DWORD kOkFaces[] = {3, 0, 1, 2, 3, 1, 2, 3, 3, 3, 1, 2, 0};

struct Geometry {
  std::vector<D3DVECTOR> vertices, normals;
  std::vector<DWORD> faceData;
};

Geometry ReadGeometry(IDirect3DRMMeshBuilder3* b) {
  DWORD nv = 0, nn = 0, nf = 0;
  EXPECT_EQ(b->GetGeometry(&nv, nullptr, &nn, nullptr, &nf, nullptr), D3DRM_OK);
  Geometry g{std::vector<D3DVECTOR>(nv), std::vector<D3DVECTOR>(nn), std::vector<DWORD>(nf)};
  EXPECT_EQ(b->GetGeometry(&nv, g.vertices.data(), &nn, g.normals.data(), &nf, g.faceData.data()), D3DRM_OK);
  return g;
}

class MeshBuilderTest : public ::testing::Test {
 protected:
  ComPtr<IDirect3DRM3> root = MakeRoot();
  ComPtr<IDirect3DRMMeshBuilder3> builder = MakeBuilder(root.Get());

  void AddOkMesh() { ASSERT_EQ(builder->AddFaces(4, kOkVertices, 0, nullptr, kOkFaces, nullptr), D3DRM_OK); }
};

TEST_F(MeshBuilderTest, FacesWithoutNormalsGetAveragedNormalsAndPairedFaceData) {
  AddOkMesh();
  Geometry g = ReadGeometry(builder.Get());
  ASSERT_EQ(g.faceData.size(), 22u);
  EXPECT_EQ(g.faceData, (std::vector<DWORD>{3, 0, 0, 1, 1, 2, 2, 3, 1, 1, 2, 2, 3, 3, 3, 3, 3, 1, 1, 2, 2, 0}));
  ASSERT_EQ(g.normals.size(), 4u);
  float s = 1 / std::sqrt(3.0f);
  EXPECT_VEC_NEAR(g.normals[0], s, s, s, 1e-5f);
  EXPECT_VEC_NEAR(g.normals[1], -0.229416f, 0.688247f, 0.688247f, 1e-5f);
  EXPECT_VEC_NEAR(g.normals[2], -0.229416f, 0.688247f, 0.688247f, 1e-5f);
  EXPECT_VEC_NEAR(g.normals[3], -s, s, s, 1e-5f);
  EXPECT_EQ(builder->GetFaceCount(), 3);
}

TEST_F(MeshBuilderTest, CreaseZeroGivesEachPlaneItsOwnNormal) {
  AddOkMesh();
  ASSERT_EQ(builder->GenerateNormals(0.0f, D3DRMGENERATENORMALS_USECREASEANGLE), D3DRM_OK);
  Geometry g = ReadGeometry(builder.Get());
  // v0: face 0; v1, v2: face 0 and the shared plane of faces 1-2; v3: that plane.
  ASSERT_EQ(g.normals.size(), 6u);
  float s = 1 / std::sqrt(3.0f);
  for (std::size_t f = 0; f < 3; ++f)
    for (std::size_t k = 0; k < 3; ++k) {
      D3DVECTOR n = g.normals[g.faceData[f * 7 + 2 + 2 * k]];
      if (f == 0) EXPECT_VEC_NEAR(n, s, s, s, 1e-5f);
      else EXPECT_VEC_NEAR(n, -s, s, s, 1e-5f);
    }
  // Faces 1 and 2 share their normals at the vertices they share.
  EXPECT_EQ(g.faceData[7 + 2], g.faceData[14 + 4]);  // vertex 1
  // Without the crease angle every vertex has one normal again.
  builder->GenerateNormals(0.0f, 0);
  EXPECT_EQ(builder->GetNormalCount(), 4);
}

TEST_F(MeshBuilderTest, FacesWithNormalsRoundTrip) {
  const D3DVECTOR v[] = {{0.1f, 0.2f, 0.3f}, {0.4f, 0.5f, 0.6f}, {0.7f, 0.8f, 0.9f}};
  const D3DVECTOR n[] = {{0, 0, 1}, {0, 1, 0}};
  const DWORD faces[] = {3, 0, 1, 1, 0, 2, 1, 0};
  ASSERT_EQ(builder->AddFaces(3, v, 2, n, faces, nullptr), D3DRM_OK);
  Geometry g = ReadGeometry(builder.Get());
  EXPECT_EQ(g.faceData, (std::vector<DWORD>{3, 0, 1, 1, 0, 2, 1, 0}));
  // A second call appends with its own numbering: nothing is merged.
  ASSERT_EQ(builder->AddFaces(3, v, 2, n, faces, nullptr), D3DRM_OK);
  g = ReadGeometry(builder.Get());
  EXPECT_EQ(g.vertices.size(), 6u);
  EXPECT_EQ(g.faceData, (std::vector<DWORD>{3, 0, 1, 1, 0, 2, 1, 3, 3, 3, 4, 2, 5, 3, 0}));
}

TEST_F(MeshBuilderTest, BadInputChangesNothing) {
  AddOkMesh();
  const DWORD outOfRange[] = {3, 0, 1, 9, 0};
  const DWORD badNormal[] = {3, 0, 0, 1, 5, 2, 0, 0};
  const DWORD tooFew[] = {2, 0, 1, 0};
  EXPECT_EQ(builder->AddFaces(4, kOkVertices, 0, nullptr, outOfRange, nullptr), D3DRMERR_BADVALUE);
  EXPECT_EQ(builder->AddFaces(4, kOkVertices, 1, kOkVertices, badNormal, nullptr), D3DRMERR_BADVALUE);
  EXPECT_EQ(builder->AddFaces(4, kOkVertices, 0, nullptr, tooFew, nullptr), D3DRMERR_BADVALUE);
  EXPECT_EQ(builder->AddFaces(4, kOkVertices, 0, nullptr, nullptr, nullptr), D3DRMERR_BADVALUE);
  EXPECT_EQ(builder->SetVertex(4, 0, 0, 0), D3DRMERR_BADVALUE);
  EXPECT_EQ(builder->SetNormal(99, 0, 0, 0), D3DRMERR_BADVALUE);
  EXPECT_EQ(builder->SetTextureCoordinates(4, 0.5f, 0.5f), D3DRMERR_BADVALUE);
  D3DVECTOR v;
  EXPECT_EQ(builder->GetVertex(4, &v), D3DRMERR_BADVALUE);
  EXPECT_EQ(builder->SetVertex(0, NAN, 0, 0), D3DRMERR_BADVALUE);
  EXPECT_EQ(builder->SetQuality(0x1000), D3DRMERR_BADVALUE);
  Geometry g = ReadGeometry(builder.Get());
  EXPECT_EQ(g.vertices.size(), 4u);
  EXPECT_EQ(g.faceData.size(), 22u);
  EXPECT_VEC_NEAR(g.vertices[0], 1, 0, 0, 0);
  EXPECT_EQ(builder->GetQuality(), D3DRMRENDER_GOURAUD);
}

TEST_F(MeshBuilderTest, GetGeometryRefusesShortBuffersWithoutWriting) {
  AddOkMesh();
  DWORD nv = 3, nn = 4, nf = 22;
  std::vector<D3DVECTOR> vertices(4, D3DVECTOR{7, 7, 7}), normals(4);
  std::vector<DWORD> faces(22, 77);
  EXPECT_EQ(builder->GetGeometry(&nv, vertices.data(), &nn, normals.data(), &nf, faces.data()), D3DRMERR_BADVALUE);
  EXPECT_VEC_NEAR(vertices[0], 7, 7, 7, 0);
  EXPECT_EQ(faces[0], 77u);
  nv = 4;
  nf = 21;
  EXPECT_EQ(builder->GetGeometry(&nv, vertices.data(), &nn, normals.data(), &nf, faces.data()), D3DRMERR_BADVALUE);
}

TEST_F(MeshBuilderTest, BoxScaleTranslateAndEmpty) {
  D3DRMBOX box;
  EXPECT_EQ(builder->GetBox(&box), D3DRMERR_BOXNOTSET);
  const D3DVECTOR v[] = {{0.1f, 0.2f, 0.3f}, {-1, 5, 2}, {3, -2, 0}};
  const DWORD faces[] = {3, 0, 1, 2, 0};
  builder->AddFaces(3, v, 0, nullptr, faces, nullptr);
  ASSERT_EQ(builder->GetBox(&box), D3DRM_OK);
  EXPECT_VEC_NEAR(box.min, -1, -2, 0, 0);
  EXPECT_VEC_NEAR(box.max, 3, 5, 2, 0);
  D3DVECTOR n0;
  builder->GetNormal(0, &n0);
  builder->Scale(2, 3, 4);
  D3DVECTOR p, n;
  builder->GetVertex(0, &p);
  EXPECT_VEC_NEAR(p, 0.2f, 0.6f, 1.2f, 1e-6f);
  builder->GetNormal(0, &n);  // normals are left alone
  EXPECT_VEC_NEAR(n, n0.x, n0.y, n0.z, 0);
  builder->Translate(1, 1, 1);
  builder->GetVertex(0, &p);
  EXPECT_VEC_NEAR(p, 1.2f, 1.6f, 2.2f, 1e-6f);
  builder->Empty(0);
  EXPECT_EQ(builder->GetVertexCount(), 0);
  EXPECT_EQ(builder->GetFaceCount(), 0);
  EXPECT_EQ(builder->GetBox(&box), D3DRMERR_BOXNOTSET);
}

TEST_F(MeshBuilderTest, ColoursTexturesAndSettingsApplyToEveryFace) {
  AddOkMesh();
  builder->SetColorRGB(0.5f, 0.5f, 0.5f);
  ComPtr<IDirect3DRMMaterial2> material;
  root->CreateMaterial(10, material.ReleaseAndGetAddressOf());
  builder->SetMaterial(material.Get());
  {
    EngineLock lock;
    const MeshGeometry& g = MeshBuilder::From(builder.Get())->Geometry();
    for (std::size_t f = 0; f < g.FaceCount(); ++f) {
      EXPECT_EQ(g.faceColor[f], 0xff7f7f7fu);
      EXPECT_EQ(g.groups[g.faceGroup[f]].material.Get(), material.Get());
    }
  }
  EXPECT_EQ(builder->GetQuality(), 0x89u);
  builder->SetQuality(D3DRMRENDER_FLAT);
  EXPECT_EQ(builder->GetQuality(), D3DRMRENDER_FLAT);
  EXPECT_EQ(builder->GetPerspective(), FALSE);
  builder->SetPerspective(TRUE);
  EXPECT_EQ(builder->GetPerspective(), TRUE);
  builder->SetTextureCoordinates(3, 0.25f, 0.75f);
  float u, v;
  builder->GetTextureCoordinates(3, &u, &v);
  EXPECT_EQ(u, 0.25f);
  EXPECT_EQ(v, 0.75f);
}

TEST_F(MeshBuilderTest, CreateMeshIsASnapshot) {
  AddOkMesh();
  ComPtr<IDirect3DRMMesh> mesh;
  ASSERT_EQ(builder->CreateMesh(mesh.ReleaseAndGetAddressOf()), D3DRM_OK);
  builder->Scale(10, 10, 10);
  builder->Empty(0);
  D3DRMBOX box;
  ASSERT_EQ(mesh->GetBox(&box), D3DRM_OK);
  EXPECT_VEC_NEAR(box.max, 1, 1, 1, 0);
  EXPECT_EQ(mesh->GetFaceCount(), 3);
  EXPECT_EQ(mesh->GetGroupCount(), 1u);
}

TEST_F(MeshBuilderTest, InterfaceQueriesAndVisualLists) {
  ComPtr<IDirect3DRMMeshBuilder3> viaOld;
  ASSERT_EQ(builder.As(IID_IDirect3DRMMeshBuilder, viaOld), S_OK);
  EXPECT_EQ(viaOld.Get(), builder.Get());
  auto frame = MakeFrame(root.Get());
  ComPtr<IDirect3DRMFrame3> asFrame, asFrame3;
  ASSERT_EQ(frame.As(IID_IDirect3DRMFrame, asFrame), S_OK);
  ASSERT_EQ(asFrame.As(IID_IDirect3DRMFrame3, asFrame3), S_OK);
  EXPECT_EQ(asFrame.Get(), frame.Get());
  EXPECT_EQ(asFrame3.Get(), frame.Get());
  ComPtr<IDirect3DRMMeshBuilder3> notBuilder;
  EXPECT_EQ(frame.As(IID_IDirect3DRMMeshBuilder, notBuilder), E_NOINTERFACE);
  ComPtr<IDirect3DRM3> notRoot;
  EXPECT_EQ(builder.As(IID_IDirect3DRM3, notRoot), E_NOINTERFACE);

  ASSERT_EQ(frame->AddVisual(builder.Get()), D3DRM_OK);
  EXPECT_EQ(frame->AddVisual(builder.Get()), D3DRM_OK);  // once only
  DWORD count = 0;
  ASSERT_EQ(frame->GetVisuals(&count, nullptr), D3DRM_OK);
  ASSERT_EQ(count, 1u);
  IUnknown* visual = nullptr;
  DWORD tooSmall = 0;
  EXPECT_EQ(frame->GetVisuals(&tooSmall, &visual), D3DRMERR_BADVALUE);
  ASSERT_EQ(frame->GetVisuals(&count, &visual), D3DRM_OK);
  auto held = ComPtr<IUnknown>::Adopt(visual);
  ComPtr<IDirect3DRMMeshBuilder3> found;
  EXPECT_EQ(held.As(IID_IDirect3DRMMeshBuilder, found), S_OK);
  EXPECT_EQ(frame->DeleteVisual(found.Get()), D3DRM_OK);
  EXPECT_EQ(frame->DeleteVisual(found.Get()), D3DRMERR_NOTFOUND);
}

TEST_F(MeshBuilderTest, ObjectNamesAndDestroyCallbacks) {
  DWORD size = 0;
  ASSERT_EQ(builder->GetName(&size, nullptr), D3DRM_OK);
  EXPECT_EQ(size, 0u);
  builder->SetName("hull");
  char name[8];
  size = sizeof name;
  ASSERT_EQ(builder->GetName(&size, name), D3DRM_OK);
  EXPECT_STREQ(name, "hull");
  EXPECT_EQ(size, 5u);
  size = 3;
  EXPECT_EQ(builder->GetName(&size, name), D3DRMERR_BADVALUE);
  size = sizeof name;
  builder->GetClassName(&size, name);
  EXPECT_STREQ(name, "Builder");

  std::vector<int> order;
  auto cb1 = [](IDirect3DRMObject*, void* arg) { static_cast<std::vector<int>*>(arg)->push_back(1); };
  auto cb2 = [](IDirect3DRMObject*, void* arg) { static_cast<std::vector<int>*>(arg)->push_back(2); };
  builder->AddDestroyCallback(cb1, &order);
  builder->AddDestroyCallback(cb2, &order);
  builder = nullptr;
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
}

// ---- Files ----------------------------------------------------------------

const char kDataOk[] =
    "xof 0302txt 0064\nHeader Object\n{\n1; 0; 1;\n}\nMesh Object\n{\n4;\n1.0; 0.0; 0.0;,\n0.0; 1.0; 0.0;,\n"
    "0.0; 0.0; 1.0;,\n1.0; 1.0; 1.0;;\n3;\n3; 0, 1, 2;,\n3; 1, 2, 3;,\n3; 3, 1, 2;;\n}\n";
const char kBadVersion[] = "xof 0302txt 0064\nHeader Object\n{\n1; 2; 3;\n}\n";
const char kNoMesh[] = "xof 0302txt 0064\nHeader Object\n{\n1; 0; 1;\n}\n";

HRESULT LoadText(IDirect3DRMMeshBuilder3* b, const char* text) {
  D3DRMLOADMEMORY memory{const_cast<char*>(text), static_cast<DWORD>(std::strlen(text))};
  return b->Load(&memory, nullptr, D3DRMLOAD_FROMMEMORY, nullptr, nullptr);
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("kv_rm_") + name)).string();
}

TEST_F(MeshBuilderTest, LoadReportsEachKindOfFailureAndKeepsTheGeometry) {
  AddOkMesh();
  builder->Scale(2, 2, 2);
  EXPECT_EQ(LoadText(builder.Get(), kBadVersion), D3DRMERR_BADFILE);
  EXPECT_EQ(LoadText(builder.Get(), kNoMesh), D3DRMERR_NOTFOUND);
  EXPECT_EQ(LoadText(builder.Get(), "not a mesh file at all"), D3DRMERR_BADFILE);
  EXPECT_EQ(builder->Load(const_cast<char*>("/no/such/file.x"), nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr),
            D3DRMERR_FILENOTFOUND);
  D3DVECTOR p;
  builder->GetVertex(3, &p);
  EXPECT_VEC_NEAR(p, 2, 2, 2, 0);

  ASSERT_EQ(LoadText(builder.Get(), kDataOk), D3DRM_OK);
  Geometry g = ReadGeometry(builder.Get());
  EXPECT_EQ(g.faceData.size(), 22u);
  EXPECT_VEC_NEAR(g.normals[1], -0.229416f, 0.688247f, 0.688247f, 1e-5f);
  DWORD size = 16;
  char name[16];
  builder->GetName(&size, name);
  EXPECT_STREQ(name, "Object");
}

TEST_F(MeshBuilderTest, SaveAndLoadRoundTripInEveryFormat) {
  AddOkMesh();
  builder->GenerateNormals(0.0f, D3DRMGENERATENORMALS_USECREASEANGLE);
  for (DWORD i = 0; i < 4; ++i) builder->SetTextureCoordinates(i, 0.25f * i, 1 - 0.25f * i);
  builder->SetColor(0x4c336699);
  ComPtr<IDirect3DRMMaterial2> material;
  root->CreateMaterial(12, material.ReleaseAndGetAddressOf());
  material->SetEmissive(0.5f, 0, 0);
  builder->SetMaterial(material.Get());
  Geometry before = ReadGeometry(builder.Get());
  for (D3DRMXOFFORMAT format : {D3DRMXOF_TEXT, D3DRMXOF_BINARY, D3DRMXOF_COMPRESSED}) {
    std::string path = TempPath("roundtrip.x");
    ASSERT_EQ(builder->Save(path.c_str(), format, 0x2f), D3DRM_OK) << format;
    auto loaded = MakeBuilder(root.Get());
    ASSERT_EQ(loaded->Load(path.data(), nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr), D3DRM_OK) << format;
    std::remove(path.c_str());
    Geometry after = ReadGeometry(loaded.Get());
    EXPECT_EQ(after.faceData, before.faceData);
    ASSERT_EQ(after.vertices.size(), before.vertices.size());
    for (std::size_t i = 0; i < before.vertices.size(); ++i)
      EXPECT_VEC_NEAR(after.vertices[i], before.vertices[i].x, before.vertices[i].y, before.vertices[i].z, 1e-6f);
    float u, v;
    loaded->GetTextureCoordinates(2, &u, &v);
    EXPECT_FLOAT_EQ(u, 0.5f);
    EXPECT_FLOAT_EQ(v, 0.5f);
    EngineLock lock;
    const MeshGeometry& g = MeshBuilder::From(loaded.Get())->Geometry();
    EXPECT_EQ(g.faceColor[0], 0x4c336699u);
    ComPtr<IDirect3DRMMaterial2> m = g.groups[g.faceGroup[0]].material;
    ASSERT_TRUE(m);
    EXPECT_FLOAT_EQ(m->GetPower(), 12);
    float r, gg, b;
    m->GetEmissive(&r, &gg, &b);
    EXPECT_FLOAT_EQ(r, 0.5f);
  }
  EXPECT_EQ(builder->Save(nullptr, D3DRMXOF_TEXT, 0), D3DRMERR_BADVALUE);
}

// A mesh file naming its texture by a bare name, as modelling programs write
// them: the texture is found beside the mesh file, wherever the program runs.
TEST_F(MeshBuilderTest, TexturesNamedByAMeshFileAreFoundBesideIt) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kv_rm_textured_mesh";
  std::filesystem::create_directories(dir);
  kv::image::test::BmpLayout layout;
  layout.pixelData = kv::image::test::Bgr24Rows(kv::image::test::Gradient(2, 2));
  const kv::image::test::Bytes bmp = kv::image::test::BuildBmp(layout);
  std::ofstream(dir / "skin.bmp", std::ios::binary)
      .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  std::ofstream(dir / "textured.x") << std::string(kDataOk, std::strlen(kDataOk) - 2)  // before the mesh's "}"
                                    << "MeshMaterialList {\n1;\n3;\n0, 0, 0;;\n"
                                       "Material {\n1.0; 1.0; 1.0; 1.0;;\n0.0;\n0.0; 0.0; 0.0;;\n0.0; 0.0; 0.0;;\n"
                                       "TextureFilename { \"skin.bmp\"; }\n}\n}\n}\n";
  std::string path = (dir / "textured.x").string();
  ASSERT_EQ(builder->Load(path.data(), nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr), D3DRM_OK);
  std::filesystem::remove_all(dir);
  EXPECT_EQ(builder->GetFaceCount(), 3);
  EngineLock lock;
  const MeshGeometry& g = MeshBuilder::From(builder.Get())->Geometry();
  ASSERT_FALSE(g.groups.empty());
  Texture* texture = Texture::From(g.groups[g.faceGroup[0]].texture.Get());
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(texture->Image().width, 2);
}

TEST_F(MeshBuilderTest, RealFileLoadsItsTexturesFromItsOwnFolder) {
  KV_REQUIRE_SHARED_FILE("xfile/seafloor.x");
  std::string path = kvtest::SharedFile("xfile/seafloor.x");
  ASSERT_EQ(builder->Load(path.data(), nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr), D3DRM_OK);
  EXPECT_EQ(builder->GetFaceCount(), 2830);
  EXPECT_EQ(builder->GetNormalCount(), builder->GetVertexCount());  // averaged: the file has none
  EngineLock lock;
  const MeshGeometry& g = MeshBuilder::From(builder.Get())->Geometry();
  bool textured = false;
  for (const FaceGroup& group : g.groups)
    if (Texture* t = Texture::From(group.texture.Get())) textured |= t->Image().width > 0;
  EXPECT_TRUE(textured);
}

}  // namespace
}  // namespace kv::rm::testing
