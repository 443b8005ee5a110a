// The visual object: visibility, colour alpha, perspective, its appearance
// on every new mesh builder, Loaded, removal notifications, collision and
// Clone.
#include <filesystem>
#include <limits>

#include "ObjectFixture.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/objects/Kv3dmaterial.h"
#include "korvane3d/objects/Kv3dquality.h"
#include "korvane3d/objects/Kv3dshadow.h"
#include "korvane3d/objects/Kv3dtexture.h"
#include "korvane3d/objects/Kv3dwrap.h"
#include "korvane3d/scene/Kv3dlight.h"
#include "support/OwnPictures.h"

using namespace kv;

namespace kvtest {
namespace {

D3DCOLOR FaceColor(TKV3DObject* o) { return ObjectTest::Geometry(ObjectTest::Builder(o)).faceColor.at(0); }

TEST_F(ObjectTest, ANewObjectHasItsPartsAndNoGeometry) {
  TKV3DObject* o = Make();
  EXPECT_TRUE(o->Visible() && o->GetPerspective() && !o->CheckCollision());
  EXPECT_EQ(o->ColorAlpha(), 1.0f);
  EXPECT_EQ(o->Color(), static_cast<TColor>(0x00FFFFFF));
  EXPECT_TRUE(o->Mesh() && o->Wrap() && o->Quality() && o->Shadow() && o->Scale() && o->Texture() && o->Material());
  EXPECT_EQ(Builder(o), nullptr);  // a file source without a name
  EXPECT_EQ(o->Mesh()->File()->Format(), ffText);
  EXPECT_EQ(MeshVisuals(o), 0);
}

TEST_F(ObjectTest, VisibilityHangsAndTakesOffMeshAndShadowVisuals) {
  TKV3DObject* o = MakeShape(stCube);
  o->Shadow()->SetLight(Make<TKV3DLight>("Sun"));
  ASSERT_EQ(ShadowVisuals(o), 1);
  EXPECT_EQ(CountVisuals(o, IID_IDirect3DRMMeshBuilder, Builder(o)), 1);

  // A builder that code hung on the same frame goes too; the same value
  // again does nothing.
  ComPtr<IDirect3DRMMeshBuilder3> foreign;
  ASSERT_EQ(SharedD3DRM3()->CreateMeshBuilder(foreign.ReleaseAndGetAddressOf()), D3DRM_OK);
  o->GetIDirect3DRMFrame3()->AddVisual(foreign.Get());
  o->SetVisible(false);
  EXPECT_EQ(MeshVisuals(o) + ShadowVisuals(o), 0);
  o->GetIDirect3DRMFrame3()->AddVisual(foreign.Get());
  o->SetVisible(false);
  EXPECT_EQ(MeshVisuals(o), 1);
  o->GetIDirect3DRMFrame3()->DeleteVisual(foreign.Get());

  o->SetVisible(true);
  EXPECT_EQ(CountVisuals(o, IID_IDirect3DRMMeshBuilder, Builder(o)), 1);
  EXPECT_EQ(ShadowVisuals(o), 1);
  // Detaching reads the frame's visuals with a reference each; every one
  // is given back.
  const ULONG held = kv::rm::MeshBuilder::From(Builder(o))->RefCountForTests();
  o->SetVisible(false);
  o->SetVisible(true);
  EXPECT_EQ(kv::rm::MeshBuilder::From(Builder(o))->RefCountForTests(), held);
  // A rebuild while hidden keeps it hidden.
  o->SetVisible(false);
  o->Mesh()->Cube()->SetGrid(4);
  EXPECT_EQ(MeshVisuals(o), 0);
}

TEST_F(ObjectTest, ColorAlphaIsClampedWhenPackedAndKeptAsSet) {
  TKV3DObject* o = MakeShape(stPrism);
  o->SetColor(static_cast<TColor>(0x000080FF));  // red 255, green 128, blue 0
  EXPECT_EQ(FaceColor(o), 0xFFFF8000u);
  const std::pair<float, D3DCOLOR> rows[] = {{0.5f, 0x7F}, {1.5f, 0xFF}, {-2.0f, 0x00}};
  for (const auto& [alpha, packed] : rows) {
    ASSERT_TRUE(o->SetColorAlpha(alpha));
    EXPECT_EQ(o->ColorAlpha(), alpha);
    EXPECT_EQ(FaceColor(o), packed << 24 | 0xFF8000u) << alpha;
  }
  EXPECT_FALSE(o->SetColorAlpha(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_NE(LastErrorText().find("ColorAlpha"), std::string::npos);
  EXPECT_EQ(o->ColorAlpha(), -2.0f);
}

TEST_F(ObjectTest, PerspectiveReachesTheBuilderAndIsReadBack) {
  TKV3DObject* o = Make();
  o->SetPerspective(false);  // no builder: only cached
  o->Mesh()->SetActiveShape(stSphere);
  EXPECT_FALSE(o->GetPerspective());
  o->SetPerspective(true);
  EXPECT_TRUE(Builder(o)->GetPerspective());
  Builder(o)->SetPerspective(FALSE);
  EXPECT_FALSE(o->GetPerspective());
}

TEST_F(ObjectTest, PerspectiveSurvivesRebuilds) {
  for (bool perspective : {true, false}) {
    TKV3DObject* o = MakeShape(stSphere);
    o->SetPerspective(perspective);
    o->Mesh()->Sphere()->SetEdges(9);  // a generator parameter
    EXPECT_EQ(o->GetPerspective(), perspective);
    o->Mesh()->SetActiveShape(stCube);  // another shape, a new builder
    EXPECT_EQ(o->GetPerspective(), perspective);
    EXPECT_EQ(Builder(o)->GetPerspective() != FALSE, perspective);
  }
}

TEST_F(ObjectTest, EveryNewBuilderGetsTheObjectsAppearance) {
  TKV3DObject* o = MakeShape(stPrism);
  o->SetColor(clRed);
  o->SetColorAlpha(0.5f);
  o->Quality()->SetMFillMode(tfWireframe);
  o->Material()->SetEmission(clBlue);
  IDirect3DRMMeshBuilder3* before = Builder(o);
  o->Mesh()->SetActiveShape(stCube);
  IDirect3DRMMeshBuilder3* after = Builder(o);
  ASSERT_NE(after, before);
  EXPECT_EQ(FaceColor(o), 0x7FFF0000u);
  EXPECT_EQ(after->GetQuality() & 0x1C0, static_cast<D3DRMRENDERQUALITY>(D3DRMFILL_WIREFRAME));
  ComPtr<IDirect3DRMMaterial2> material;
  after->GetMaterial(material.ReleaseAndGetAddressOf());
  EXPECT_EQ(material.Get(), o->Material()->GetIDirect3DMaterial());
  EXPECT_VEC(o->BoxMin(), -0.5f, -0.5f, -0.5f);
}

TEST_F(ObjectTest, LoadedLoadsTheTextureWithEverySettingInPlace) {
  const auto dir = std::filesystem::path(KV_BINARY_DIR) / "object-loaded";
  std::filesystem::create_directories(dir);
  const auto image = dir / "skin.bmp";
  std::filesystem::remove(image);
  TKV3DObject* o = MakeShape(stPrism);
  o->Texture()->SetFileName(image.string());  // not there yet
  EXPECT_EQ(o->Texture()->GetIDirect3DTexture(), nullptr);
  ASSERT_FALSE(WritePicture(image).empty());
  o->Loaded();
  ASSERT_NE(o->Texture()->GetIDirect3DTexture(), nullptr);
  ComPtr<IDirect3DRMTexture3> onBuilder;
  Builder(o)->GetTexture(onBuilder.ReleaseAndGetAddressOf());
  EXPECT_EQ(onBuilder.Get(), o->Texture()->GetIDirect3DTexture());
  std::filesystem::remove_all(dir);
}

TEST_F(ObjectTest, RemovedComponentsAreForgottenByTheParts) {
  TKV3DObject* o = MakeShape(stCube, "Box");
  auto* parent = Make<TKV3DFrame>("Parent");
  auto* light = Make<TKV3DLight>("Sun");
  auto* ref = Make<TKV3DFrame>("Ref");
  o->SetParentFrame(parent);
  o->Shadow()->SetLight(light);
  o->Wrap()->SetRefFrame(ref);
  delete light;
  EXPECT_EQ(o->Shadow()->Light(), nullptr);
  EXPECT_EQ(ShadowVisuals(o), 0);
  delete ref;
  EXPECT_EQ(o->Wrap()->RefFrame(), nullptr);
  delete parent;
  EXPECT_EQ(o->ParentFrame(), nullptr);
  EXPECT_EQ(MeshVisuals(o), 1);

  TObject* seen[2] = {};
  o->Collision(o, o);  // no handler: nothing
  o->OnCollision = [&](TObject* s, TObject* other) { seen[0] = s, seen[1] = other; };
  o->Collision(o, form.get());
  EXPECT_TRUE(seen[0] == o && seen[1] == form.get());
}

TEST_F(ObjectTest, CloneCopiesPlacementSettingsAndShapeButNotAlphaOrOnMove) {
  auto* parent = Make<TKV3DFrame>("Parent");
  TKV3DObject* o = Make("Source");
  o->SetParentFrame(parent);
  o->Position()->SetX(3);
  o->Scale()->SetX(2);
  o->SetColor(clLime);
  o->SetColorAlpha(0.25f);
  o->SetCheckCollision(true);
  o->SetPerspective(false);
  o->Material()->SetPower(9);
  o->Mesh()->Prism()->SetVertices(5);
  o->Mesh()->Prism()->SetDepth(2);
  o->Mesh()->SetActiveShape(stPrism);
  o->OnMove = [](TObject*) {};

  TKV3DObject* c = o->Clone();
  EXPECT_EQ(c->Owner(), form.get());
  EXPECT_EQ(c->ParentFrame(), parent);
  EXPECT_NEAR(c->Position()->GetX(), 3, kTol);
  EXPECT_EQ(c->Color(), clLime);
  EXPECT_TRUE(c->CheckCollision() && !c->GetPerspective());
  EXPECT_EQ(c->Material()->GetPower(), 9.0f);
  EXPECT_EQ(c->ColorAlpha(), 1.0f);
  EXPECT_FALSE(c->OnMove.Assigned());
  // Regenerated from the same parameters into a builder of its own, scaled
  // the same.
  ASSERT_NE(Builder(c), nullptr);
  EXPECT_NE(Builder(c), Builder(o));
  EXPECT_EQ(Records(*c->Mesh()), Records(*o->Mesh()));
  EXPECT_NEAR(c->BoxMax().x, 2, kTol);
  EXPECT_NEAR(o->BoxMax().x, 2, kTol);
}

}  // namespace
}  // namespace kvtest
