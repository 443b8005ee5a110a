// Visual objects and their meshes written to form text and read back.
#include <filesystem>
#include <string>

#include "ObjectFixture.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/objects/Kv3dquality.h"

using namespace kv;

namespace kvtest {
namespace {

std::string Text(TComponent* root) {
  std::string text;
  EXPECT_TRUE(WriteComponentText(root, text)) << LastErrorText();
  return text;
}

TEST_F(ObjectTest, EveryPublishedPropertyOfObjectAndMeshRoundTrips) {
  form->SetName("Form1");
  // A binary mesh file of our own writing.
  const std::string cube = (std::filesystem::path(KV_BINARY_DIR) / "round-trip-cube.x").string();
  {
    TKV3DObject* source = MakeShape(stCube);
    source->Mesh()->File()->SetFormat(ffBinary);
    ASSERT_TRUE(source->Mesh()->File()->SaveToFile(cube)) << LastErrorText();
    delete source;
  }
  form->RegisterMethod("Hit", [](TObject*, TObject*) {});
  auto* parent = Make<TKV3DFrame>("Base");
  TKV3DObject* o = Make("Thing");
  o->SetParentFrame(parent);
  o->SetVisible(false);
  o->Mesh()->File()->SetFileName(cube);
  o->Mesh()->Cube()->SetGrid(4);
  o->Mesh()->SetGenerateNormals(true);
  o->Mesh()->SetActiveShape(stCube);
  o->Mesh()->File()->SetFormat(ffCompressed);  // after the reloads, which detect ffBinary
  o->SetColorAlpha(0.25f);
  o->Scale()->SetZ(3);
  ASSERT_TRUE(o->OnCollision.BindMethod("Hit", *form->FindMethod("Hit")));
  o->SetCheckCollision(true);
  o->SetPerspective(false);
  o->SetColor(clBlack);  // the stream default, written all the same
  const std::string written = Text(form.get());
  for (const char* line : {"Visible = False", "Mesh.File.FileName = ", "Mesh.File.Format = ffCompressed",
                           "Mesh.Cube.Grid = 4", "Mesh.GenerateNormals = True", "Mesh.ActiveShape = stCube",
                           "ColorAlpha = 0.25", "Scale.Z = 3", "OnCollision = Hit", "CheckCollision = True",
                           "Perspective = False", "Color = "})
    EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;

  TForm copy(nullptr);
  copy.RegisterMethod("Hit", [](TObject*, TObject*) {});
  ASSERT_TRUE(ReadComponentText(written, "objects.kvf", &copy)) << LastErrorText();
  EXPECT_EQ(Text(&copy), written);
  auto* back = dynamic_cast<TKV3DObject*>(copy.FindComponent("Thing"));
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(back->Visible());
  EXPECT_EQ(back->Color(), clBlack);
  EXPECT_EQ(back->ColorAlpha(), 0.25f);
  EXPECT_EQ(back->Mesh()->File()->Format(), ffCompressed);  // the streamed value, not the loaded file's
  EXPECT_EQ(back->Mesh()->ActiveShape(), stCube);
  EXPECT_EQ(Builder(back)->GetFaceCount(), 54);
  EXPECT_EQ(MeshVisuals(back), 0);
  EXPECT_NEAR(back->BoxMax().z, 1.5f, kTol);
  EXPECT_TRUE(back->OnCollision.Assigned());
  EXPECT_FALSE(back->GetPerspective());
  std::filesystem::remove(cube);
}

TEST_F(ObjectTest, ADefaultObjectWritesItsColourAndItsFileFormat) {
  form->SetName("Form1");
  Make("Plain");
  const std::string written = Text(form.get());
  EXPECT_NE(written.find("Color = "), std::string::npos) << written;
  // A new mesh's format is ffText, so the stream default ffBinary must be
  // written to come back.
  EXPECT_NE(written.find("Mesh.File.Format = ffText"), std::string::npos) << written;
  for (const char* absent : {"Visible", "ColorAlpha", "Perspective", "CheckCollision", "ActiveShape"})
    EXPECT_EQ(written.find(absent), std::string::npos) << absent;

  TKV3DObject* binary = Make("Binary");
  binary->Mesh()->File()->SetFormat(ffBinary);
  TForm copy(nullptr);
  ASSERT_TRUE(ReadComponentText(Text(form.get()), "objects.kvf", &copy)) << LastErrorText();
  auto* back = dynamic_cast<TKV3DObject*>(copy.FindComponent("Binary"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Mesh()->File()->Format(), ffBinary);
  EXPECT_EQ(back->Color(), static_cast<TColor>(0x00FFFFFF));
}

TEST_F(ObjectTest, AnObjectRebuiltAtRunTimeKeepsPerspectiveInItsForm) {
  form->SetName("Form1");
  TKV3DObject* o = Make("Ball");
  o->Mesh()->SetActiveShape(stSphere);
  o->Mesh()->Sphere()->SetWalls(6);
  o->Mesh()->Prism()->SetVertices(5);  // not the active shape: no rebuild
  o->Mesh()->SetActiveShape(stPrism);
  const std::string written = Text(form.get());
  EXPECT_EQ(written.find("Perspective"), std::string::npos) << written;
  TForm copy(nullptr);
  ASSERT_TRUE(ReadComponentText(written, "objects.kvf", &copy)) << LastErrorText();
  auto* back = dynamic_cast<TKV3DObject*>(copy.FindComponent("Ball"));
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->GetPerspective());
}

}  // namespace
}  // namespace kvtest
