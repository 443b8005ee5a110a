// The object's material: the engine material it puts on the mesh builder,
// a fresh engine material per change, colour conversions, Assign and
// adopting another engine material.
#include <limits>

#include "AppearanceTestSupport.h"
#include "objects/Kv3dmaterial.h"

using namespace kv;

namespace {

class Material : public kvtest::AppearanceTest {
 protected:
  void SetUp() override {
    AppearanceTest::SetUp();
    SetSquare();
    material = object->Material();
  }
  ComPtr<IDirect3DRMMaterial2> OnBuilder() const {
    ComPtr<IDirect3DRMMaterial2> m;
    Builder()->GetMaterial(m.ReleaseAndGetAddressOf());
    return m;
  }
  TKV3DMaterial* material = nullptr;
};

struct Rgb {
  float r, g, b;
};
Rgb Emissive(IDirect3DRMMaterial2* m) {
  Rgb c{};
  m->GetEmissive(&c.r, &c.g, &c.b);
  return c;
}

TEST_F(Material, BuilderCarriesTheMaterialWithItsValues) {
  ComPtr<IDirect3DRMMaterial2> m = OnBuilder();
  ASSERT_TRUE(m);
  EXPECT_EQ(m.Get(), material->GetIDirect3DMaterial());
  EXPECT_FLOAT_EQ(m->GetPower(), 5.0f);
  Rgb c{};
  m->GetAmbient(&c.r, &c.g, &c.b);
  EXPECT_EQ(c.r + c.g + c.b, 3.0f);
  m->GetSpecular(&c.r, &c.g, &c.b);
  EXPECT_EQ(c.r + c.g + c.b, 0.0f);

  material->SetEmission(0x0080FF);  // red 255, green 128, blue 0
  material->SetSpecular(0x000080);
  ASSERT_TRUE(material->SetPower(12.5f));
  m = OnBuilder();
  const Rgb e = Emissive(m.Get());
  EXPECT_FLOAT_EQ(e.r, 1.0f);
  EXPECT_FLOAT_EQ(e.g, 128 / 255.0f);
  EXPECT_FLOAT_EQ(e.b, 0.0f);
  EXPECT_FLOAT_EQ(m->GetPower(), 12.5f);
  EXPECT_EQ(material->GetEmission(), 0x0080FFu);
  EXPECT_EQ(material->GetSpecular(), 0x000080u);
}

TEST_F(Material, EveryChangeMakesANewEngineMaterialAndAnEqualValueMakesNone) {
  ComPtr<IDirect3DRMMaterial2> before(material->GetIDirect3DMaterial());
  material->SetPower(5.0f);
  material->SetAmbient(0xFFFFFF);
  EXPECT_EQ(material->GetIDirect3DMaterial(), before.Get());
  material->SetAmbient(0x102030);
  EXPECT_NE(material->GetIDirect3DMaterial(), before.Get());
  // The one handed out earlier keeps its values.
  EXPECT_FLOAT_EQ(before->GetPower(), 5.0f);
  EXPECT_EQ(OnBuilder().Get(), material->GetIDirect3DMaterial());
}

TEST_F(Material, AssignCopiesAllButAmbientAndAdoptingTakesValuesNotTheObject) {
  TKV3DMaterial source(nullptr);
  source.SetEmission(0x010203);
  source.SetPower(2.0f);
  source.SetSpecular(0x0A0B0C);
  source.SetAmbient(0x112233);
  object->SetMaterial(&source);
  EXPECT_EQ(material->GetEmission(), 0x010203u);
  EXPECT_FLOAT_EQ(material->GetPower(), 2.0f);
  EXPECT_EQ(material->GetSpecular(), 0x0A0B0Cu);
  EXPECT_EQ(material->GetAmbient(), 0xFFFFFFu);

  ComPtr<IDirect3DRMMaterial2> other;
  SharedD3DRM3()->CreateMaterial(9.0f, other.ReleaseAndGetAddressOf());
  other->SetAmbient(0, 1, 0);
  material->SetIDirect3DMaterial(other.Get());
  EXPECT_NE(material->GetIDirect3DMaterial(), other.Get());
  EXPECT_FLOAT_EQ(material->GetPower(), 9.0f);
  EXPECT_EQ(material->GetAmbient(), 0x00FF00u);

  IDirect3DRMMaterial2* current = material->GetIDirect3DMaterial();
  material->SetIDirect3DMaterial(current);
  material->SetIDirect3DMaterial(nullptr);
  EXPECT_EQ(material->GetIDirect3DMaterial(), current);
}

TEST_F(Material, NonFinitePowerIsRefusedAndChangesNothing) {
  IDirect3DRMMaterial2* current = material->GetIDirect3DMaterial();
  EXPECT_FALSE(material->SetPower(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_FALSE(material->SetPower(std::numeric_limits<float>::infinity()));
  EXPECT_FLOAT_EQ(material->GetPower(), 5.0f);
  EXPECT_EQ(material->GetIDirect3DMaterial(), current);
}

TEST_F(Material, ABuilderMadeLaterReceivesTheMaterial) {
  material->SetEmission(0x0000FF);
  object->Mesh()->SetActiveShape(stCube);
  ASSERT_NE(Builder(), nullptr);
  ComPtr<IDirect3DRMMaterial2> m = OnBuilder();
  ASSERT_TRUE(m);
  EXPECT_FLOAT_EQ(Emissive(m.Get()).r, 1.0f);
}

}  // namespace
