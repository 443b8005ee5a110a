// The generators inside a visual object's mesh: the active one's result
// becomes the mesh geometry, parameter changes regenerate it, inactive ones
// leave it alone, and the generators' published properties go through form
// files (refused values named with their line).
#include <memory>
#include <string>

#include "ShapeTestSupport.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/host/Registry.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/objects/Kv3dshape.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/Backend.h"

using namespace kv;
using kvtest::Near;

namespace {

class ShapesInMesh : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SelectBackend(platform::BackendKind::Headless);
    ResetSharedRuntime();
    owner = std::make_unique<TComponent>(nullptr);
    object = new TKV3DObject(owner.get());
    mesh = object->Mesh();
    ASSERT_NE(mesh, nullptr);
  }
  void TearDown() override {
    owner.reset();
    ResetSharedRuntime();
  }
  // What the mesh holds must be exactly what a free generator with the same
  // parameters makes.
  static void ExpectMeshHolds(const TKV3DMesh& mesh, TKV3DShape& freeGenerator) {
    freeGenerator.Create();
    ASSERT_NE(freeGenerator.Face(), nullptr);
    const TKV3DFace& face = *freeGenerator.Face();
    ASSERT_NE(mesh.GetIDirect3DMeshBuilder(), nullptr);
    EXPECT_EQ(mesh.GetIDirect3DMeshBuilder()->GetFaceCount(), int(face.FaceCount()));
    ASSERT_EQ(mesh.VertexCount(), face.VertexCount());
    ASSERT_EQ(mesh.NormalCount(), face.NormalCount());
    EXPECT_TRUE(std::equal(mesh.Vertices().begin(), mesh.Vertices().end(), face.Vertices()));
    EXPECT_TRUE(std::equal(mesh.Normals().begin(), mesh.Normals().end(), face.Normals()));
    EXPECT_TRUE(std::equal(mesh.FaceData().begin(), mesh.FaceData().end(), face.FaceData(),
                           face.FaceData() + face.FaceDataSize()));
  }

  std::unique_ptr<TComponent> owner;
  TKV3DObject* object = nullptr;  // owned by `owner`
  TKV3DMesh* mesh = nullptr;
};

TEST_F(ShapesInMesh, TheActiveGeneratorsResultBecomesTheMeshAndIsNotKept) {
  ASSERT_TRUE(mesh->SetActiveShape(stPrism));
  TKV3DPrism prism(nullptr);
  ExpectMeshHolds(*mesh, prism);
  EXPECT_EQ(mesh->Prism()->Face(), nullptr);

  ASSERT_TRUE(mesh->SetActiveShape(stSphere));
  TKV3DSphere sphere(nullptr);
  ExpectMeshHolds(*mesh, sphere);
  // Poles on x; the 15 meridian points come within a few hundredths of y, z = +-1.
  EXPECT_TRUE(Near(object->BoxMax(), {1, 1, 1}, 0.03f));
  EXPECT_TRUE(Near(object->BoxMin(), {-1, -1, -1}, 0.03f));
  EXPECT_NEAR(object->BoxMax().x, 1.0f, 1e-6f);

  ASSERT_TRUE(mesh->SetActiveShape(stCube));
  TKV3DCube cube(nullptr);
  ExpectMeshHolds(*mesh, cube);
  EXPECT_TRUE(Near(object->BoxMax(), {0.5f, 0.5f, 0.5f}));
  EXPECT_TRUE(Near(object->BoxMin(), {-0.5f, -0.5f, -0.5f}));
  EXPECT_EQ(mesh->Cube()->Face(), nullptr);
}

TEST_F(ShapesInMesh, AcceptedParameterChangesRegenerateRefusedOnesDoNot) {
  ASSERT_TRUE(mesh->SetActiveShape(stPrism));
  TKV3DPrism* prism = mesh->Prism();
  ASSERT_TRUE(prism->SetVertices(6));
  ASSERT_TRUE(prism->SetDepth(2));
  ASSERT_TRUE(prism->SetAperture(0.5f));
  TKV3DPrism tube(nullptr);
  tube.SetVertices(6);
  tube.SetDepth(2);
  tube.SetAperture(0.5f);
  ExpectMeshHolds(*mesh, tube);
  EXPECT_NEAR(object->BoxMax().z, 2.0f, 1e-6f);
  EXPECT_NEAR(object->BoxMin().z, 0.0f, 1e-6f);

  IDirect3DRMMeshBuilder3* before = mesh->GetIDirect3DMeshBuilder();
  EXPECT_FALSE(prism->SetVertices(1));
  EXPECT_FALSE(prism->SetDepth(-2));
  EXPECT_EQ(mesh->GetIDirect3DMeshBuilder(), before);  // not rebuilt
  ExpectMeshHolds(*mesh, tube);

  ASSERT_TRUE(mesh->SetActiveShape(stSphere));
  ASSERT_TRUE(mesh->Sphere()->SetEdges(5));
  ASSERT_TRUE(mesh->Sphere()->SetWalls(4));
  EXPECT_EQ(mesh->VertexCount(), 4u * 8);
  ASSERT_TRUE(mesh->SetActiveShape(stCube));
  ASSERT_TRUE(mesh->Cube()->SetGrid(4));
  EXPECT_EQ(mesh->GetIDirect3DMeshBuilder()->GetFaceCount(), 54);
}

TEST_F(ShapesInMesh, InactiveGeneratorsLeaveTheMeshAlone) {
  // A file source without a file name: no geometry, whatever the prism does.
  ASSERT_TRUE(mesh->Prism()->SetDepth(3));
  EXPECT_EQ(mesh->GetIDirect3DMeshBuilder(), nullptr);
  EXPECT_EQ(mesh->VertexCount(), 0u);
  EXPECT_EQ(mesh->Prism()->Face(), nullptr);

  ASSERT_TRUE(mesh->SetActiveShape(stCube));
  ASSERT_TRUE(mesh->Prism()->SetVertices(12));  // regenerates: still the cube
  ASSERT_TRUE(mesh->Sphere()->SetEdges(20));
  EXPECT_EQ(mesh->VertexCount(), 54u);
  mesh->Prism()->Set();
  EXPECT_EQ(mesh->Prism()->Face(), nullptr);
  EXPECT_EQ(mesh->VertexCount(), 54u);

  ASSERT_TRUE(mesh->SetActiveShape(stFile));
  EXPECT_EQ(mesh->GetIDirect3DMeshBuilder(), nullptr);
}

class ShapeForms : public ShapesInMesh {
 protected:
  void SetUp() override {
    ShapesInMesh::SetUp();
    Register();
    RegisterClass(TKV3DObject::StaticClass());
  }
};

const char* const kShapeForm = R"(object Form1: TForm
  object Tube: TKV3DObject
    Mesh.Cube.Grid = 5
    Mesh.Sphere.Edges = 9
    Mesh.Sphere.Walls = 7
    Mesh.Prism.Depth = 2.0
    Mesh.Prism.Aperture = 0.5
    Mesh.Prism.Vertices = 6
    Mesh.ActiveShape = stPrism
  end
end
)";

TEST_F(ShapeForms, GeneratorParametersRoundTripAndDefaultsAreNotWritten) {
  std::unique_ptr<TComponent> form = ReadComponentText(kShapeForm, "shapes.kvf");
  ASSERT_NE(form, nullptr) << LastErrorText();
  auto* tube = dynamic_cast<TKV3DObject*>(form->FindComponent("Tube"));
  ASSERT_NE(tube, nullptr);
  TKV3DMesh* m = tube->Mesh();
  EXPECT_EQ(m->Cube()->Grid(), 5);
  EXPECT_EQ(m->Sphere()->Edges(), 9);
  EXPECT_EQ(m->Sphere()->Walls(), 7);
  EXPECT_EQ(m->Prism()->Depth(), 2.0f);
  EXPECT_EQ(m->Prism()->Aperture(), 0.5f);
  EXPECT_EQ(m->Prism()->Vertices(), 6);
  EXPECT_EQ(m->VertexCount(), 24u);  // a tube of six corners

  std::string text;
  ASSERT_TRUE(WriteComponentText(form.get(), text)) << LastErrorText();
  std::unique_ptr<TComponent> again = ReadComponentText(text, "written.kvf");
  ASSERT_NE(again, nullptr) << LastErrorText() << "\n" << text;
  TKV3DMesh* m2 = dynamic_cast<TKV3DObject*>(again->FindComponent("Tube"))->Mesh();
  EXPECT_EQ(m2->Cube()->Grid(), 5);
  EXPECT_EQ(m2->Sphere()->Edges(), 9);
  EXPECT_EQ(m2->Sphere()->Walls(), 7);
  EXPECT_EQ(m2->Prism()->Depth(), 2.0f);
  EXPECT_EQ(m2->Prism()->Aperture(), 0.5f);
  EXPECT_EQ(m2->Prism()->Vertices(), 6);

  // A fresh object writes none of the generators' values.
  auto fresh = std::make_unique<TForm>(nullptr);
  auto* plain = new TKV3DObject(fresh.get());
  plain->SetName("Plain");
  std::string plainText;
  ASSERT_TRUE(WriteComponentText(fresh.get(), plainText)) << LastErrorText();
  for (const char* name : {"Grid", "Edges", "Walls", "Depth", "Aperture", "Vertices"})
    EXPECT_EQ(plainText.find(name), std::string::npos) << name << " in\n" << plainText;
}

TEST_F(ShapeForms, AnOutOfRangeValueInAFormFailsWithItsLineAndReason) {
  const std::string bad = R"(object Form1: TForm
  object Ball: TKV3DObject
    Mesh.ActiveShape = stSphere
    Mesh.Sphere.Walls = 5000
  end
end
)";
  EXPECT_EQ(ReadComponentText(bad, "bad.kvf"), nullptr);
  EXPECT_NE(LastErrorText().find("bad.kvf:4"), std::string::npos) << LastErrorText();
  EXPECT_NE(LastErrorText().find("Walls must be from 2 to 1024"), std::string::npos) << LastErrorText();
}

}  // namespace
