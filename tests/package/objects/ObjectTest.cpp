// The visual object: its parts, visibility, colour alpha, perspective, the
// re-application of its appearance to every new mesh builder, Loaded,
// removal notifications, collision and Clone.
#include <cmath>
#include <filesystem>
#include <limits>

#include "ObjectFixture.h"
#include "host/Error.h"
#include "objects/Kv3dmaterial.h"
#include "objects/Kv3dquality.h"
#include "objects/Kv3dshadow.h"
#include "objects/Kv3dtexture.h"
#include "objects/Kv3dwrap.h"
#include "scene/Kv3dlight.h"

namespace kvtest {
namespace {

D3DCOLOR FaceColor(TKV3DObject* o) { return ObjectTest::Geometry(ObjectTest::Builder(o)).faceColor.at(0); }

TEST_F(ObjectTest, ANewObjectHasItsPartsAndNoGeometry) {
  TKV3DObject* o = Make();
  EXPECT_TRUE(o->Visible());
  EXPECT_EQ(o->ColorAlpha(), 1.0f);
  EXPECT_TRUE(o->GetPerspective());
  EXPECT_FALSE(o->CheckCollision());
  EXPECT_EQ(o->Color(), static_cast<TColor>(0x00FFFFFF));
  EXPECT_TRUE(o->Mesh() && o->Wrap() && o->Quality() && o->Shadow() && o->Scale() && o->Texture() && o->Material());
  // The default source is a file without a name: no builder, nothing shown.
  EXPECT_EQ(Builder(o), nullptr);
  EXPECT_EQ(o->Mesh()->File()->Format(), ffText);
  EXPECT_EQ(Visuals(o->GetIDirect3DRMFrame3()).size(), 0u);
  EXPECT_VEC(o->BoxMax(), 0, 0, 0);
}

TEST_F(ObjectTest, VisibilityHangsAndTakesOffMeshAndShadowVisuals) {
  TKV3DObject* o = MakeShape(stCube);
  auto* light = Make<TKV3DLight>("Sun");
  o->Shadow()->SetLight(light);
  EXPECT_EQ(MeshVisuals(o), 1);
  ASSERT_EQ(ShadowVisuals(o), 1);
  EXPECT_TRUE(HasVisual(o, Builder(o)));

  // A builder that code hung on the same frame goes too.
  ComPtr<IDirect3DRMMeshBuilder3> foreign;
  ASSERT_EQ(SharedD3DRM3()->CreateMeshBuilder(foreign.ReleaseAndGetAddressOf()), D3DRM_OK);
  o->GetIDirect3DRMFrame3()->AddVisual(foreign.Get());
  o->SetVisible(false);
  EXPECT_EQ(MeshVisuals(o), 0);
  EXPECT_EQ(ShadowVisuals(o), 0);

  // The same value again does nothing.
  o->GetIDirect3DRMFrame3()->AddVisual(foreign.Get());
  o->SetVisible(false);
  EXPECT_TRUE(HasVisual(o, foreign.Get()));
  o->GetIDirect3DRMFrame3()->DeleteVisual(foreign.Get());

  o->SetVisible(true);
  EXPECT_EQ(MeshVisuals(o), 1);
  EXPECT_TRUE(HasVisual(o, Builder(o)));
  EXPECT_EQ(ShadowVisuals(o), 1);

  // Detaching reads the frame's visuals with a reference each; every one is
  // given back.
  const ULONG held = kv::rm::MeshBuilder::From(Builder(o))->RefCountForTests();
  for (int i = 0; i < 3; ++i) {
    o->SetVisible(false);
    o->SetVisible(true);
  }
  EXPECT_EQ(kv::rm::MeshBuilder::From(Builder(o))->RefCountForTests(), held);
  // A rebuild while hidden keeps it hidden.
  o->SetVisible(false);
  o->Mesh()->Cube()->SetGrid(4);
  EXPECT_EQ(MeshVisuals(o), 0);
}

TEST_F(ObjectTest, ColorAlphaIsClampedWhenPackedAndKeptAsSet) {
  TKV3DObject* o = MakeShape();
  o->SetColor(static_cast<TColor>(0x000080FF));  // red 255, green 128, blue 0
  EXPECT_EQ(FaceColor(o), 0xFFFF8000u);
  ASSERT_TRUE(o->SetColorAlpha(0.5f));
  EXPECT_EQ(FaceColor(o) >> 24, 0x7Fu);
  ASSERT_TRUE(o->SetColorAlpha(1.5f));
  EXPECT_EQ(o->ColorAlpha(), 1.5f);
  EXPECT_EQ(FaceColor(o) >> 24, 0xFFu);  // not the low byte of 382
  ASSERT_TRUE(o->SetColorAlpha(-2.0f));
  EXPECT_EQ(FaceColor(o) >> 24, 0x00u);
  EXPECT_EQ(FaceColor(o) & 0xFFFFFFu, 0xFF8000u);

  EXPECT_FALSE(o->SetColorAlpha(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_NE(LastErrorText().find("ColorAlpha"), std::string::npos);
  EXPECT_EQ(o->ColorAlpha(), -2.0f);
}

TEST_F(ObjectTest, PerspectiveReachesTheBuilderAndIsReadBack) {
  TKV3DObject* o = Make();
  o->SetPerspective(false);  // no builder: only cached
  EXPECT_FALSE(o->GetPerspective());
  o->Mesh()->SetActiveShape(stSphere);
  EXPECT_FALSE(o->GetPerspective());
  o->SetPerspective(true);
  EXPECT_TRUE(Builder(o)->GetPerspective());
  Builder(o)->SetPerspective(FALSE);
  EXPECT_FALSE(o->GetPerspective());
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
  EXPECT_VEC(o->BoxMax(), 0.5f, 0.5f, 0.5f);
  EXPECT_VEC(o->BoxMin(), -0.5f, -0.5f, -0.5f);
}

TEST_F(ObjectTest, LoadedLoadsTheTextureWithEverySettingInPlace) {
  const auto dir = std::filesystem::path(KV_BINARY_DIR) / "object-loaded";
  std::filesystem::create_directories(dir);
  const auto image = dir / "skin.bmp";
  std::filesystem::remove(image);
  TKV3DObject* o = MakeShape();
  o->Texture()->SetFileName(image.string());  // not there yet
  EXPECT_EQ(o->Texture()->GetIDirect3DTexture(), nullptr);
  std::filesystem::copy_file(std::filesystem::path(KV_TESTDATA_DIR) / "xfile" / "bihull.bmp", image);
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
  ASSERT_EQ(ShadowVisuals(o), 1);

  delete light;
  EXPECT_EQ(o->Shadow()->Light(), nullptr);
  EXPECT_EQ(ShadowVisuals(o), 0);
  EXPECT_EQ(MeshVisuals(o), 1);
  delete ref;
  EXPECT_EQ(o->Wrap()->RefFrame(), nullptr);
  delete parent;
  EXPECT_EQ(o->ParentFrame(), nullptr);
  ASSERT_NE(o->GetIDirect3DRMFrame3(), nullptr);
  EXPECT_EQ(MeshVisuals(o), 1);
}

TEST_F(ObjectTest, CollisionCallsTheHandlerWhenThereIsOne) {
  TKV3DObject* a = Make();
  TKV3DObject* b = Make();
  a->Collision(a, b);  // no handler: nothing
  TObject* seenSender = nullptr;
  TObject* seenOther = nullptr;
  a->OnCollision = [&](TObject* s, TObject* other) {
    seenSender = s;
    seenOther = other;
  };
  a->Collision(a, b);
  EXPECT_EQ(seenSender, a);
  EXPECT_EQ(seenOther, b);
}

TEST_F(ObjectTest, OnMoveFiresWhenTheEngineMovesTheFrame) {
  TKV3DObject* o = MakeShape();
  int moves = 0;
  o->OnMove = [&](TObject* sender) { moves += sender == o ? 1 : 100; };
  o->GetIDirect3DRMFrame3()->Move(1.0f);
  EXPECT_EQ(moves, 1);
}

TEST_F(ObjectTest, CloneCopiesPlacementSettingsAndShapeButNotAlphaOrOnMove) {
  auto* parent = Make<TKV3DFrame>("Parent");
  TKV3DObject* o = Make("Source");
  o->SetParentFrame(parent);
  o->Position()->SetX(3);
  o->Velocity()->SetY(2);
  o->Scale()->SetX(2);
  o->SetColor(clLime);
  o->SetColorAlpha(0.25f);
  o->SetCheckCollision(true);
  o->SetPerspective(false);
  o->Material()->SetPower(9);
  o->Mesh()->Prism()->SetVertices(5);
  o->Mesh()->Prism()->SetDepth(2);
  o->Mesh()->SetActiveShape(stPrism);
  int collisions = 0;
  o->OnCollision = [&](TObject*, TObject*) { ++collisions; };
  o->OnMove = [](TObject*) {};

  TKV3DObject* c = o->Clone();
  EXPECT_EQ(c->Owner(), form.get());
  EXPECT_EQ(c->ParentFrame(), parent);
  EXPECT_NEAR(c->Position()->GetX(), 3, kTol);
  EXPECT_NEAR(c->Velocity()->GetY(), 2, kTol);
  EXPECT_EQ(c->Scale()->X(), 2.0f);
  EXPECT_EQ(c->Color(), clLime);
  EXPECT_TRUE(c->CheckCollision());
  EXPECT_FALSE(c->GetPerspective());
  EXPECT_EQ(c->Material()->GetPower(), 9.0f);
  EXPECT_EQ(c->ColorAlpha(), 1.0f);
  EXPECT_FALSE(c->OnMove.Assigned());
  c->Collision(c, o);
  EXPECT_EQ(collisions, 1);
  // Regenerated from the same parameters, scaled the same.
  EXPECT_EQ(c->Mesh()->ActiveShape(), stPrism);
  ASSERT_NE(Builder(c), nullptr);
  EXPECT_NE(Builder(c), Builder(o));
  EXPECT_EQ(Records(*c->Mesh()), Records(*o->Mesh()));
  EXPECT_VEC(c->BoxMax(), o->BoxMax().x, o->BoxMax().y, o->BoxMax().z);
  EXPECT_NEAR(c->BoxMax().x, 2, kTol);
}

}  // namespace
}  // namespace kvtest
