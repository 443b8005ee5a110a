// The object's material: the engine material on the mesh builder, a fresh
// engine material per change, colour conversions, Assign.
#include <limits>

#include "AppearanceTestSupport.h"
#include "korvane3d/objects/Kv3dmaterial.h"

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

TEST_F(Material, ValuesReachTheBuilderInAFreshEngineMaterialPerChange) {
  ComPtr<IDirect3DRMMaterial2> first = OnBuilder();
  ASSERT_TRUE(first);
  EXPECT_FLOAT_EQ(first->GetPower(), 5.0f);
  material->SetPower(5.0f);  // the value held: no new material
  EXPECT_EQ(material->GetIDirect3DMaterial(), first.Get());

  material->SetEmission(0x0080FF);  // red 255, green 128, blue 0
  ComPtr<IDirect3DRMMaterial2> second = OnBuilder();
  EXPECT_NE(second.Get(), first.Get());
  float r = 0, g = 0, b = 0;
  second->GetEmissive(&r, &g, &b);
  EXPECT_FLOAT_EQ(r, 1.0f);
  EXPECT_FLOAT_EQ(g, 128 / 255.0f);
  EXPECT_FLOAT_EQ(b, 0.0f);
  EXPECT_EQ(material->GetEmission(), 0x0080FFu);
  first->GetEmissive(&r, &g, &b);  // the one handed out earlier is unchanged
  EXPECT_EQ(r, 0.0f);
  EXPECT_FALSE(material->SetPower(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_EQ(material->GetIDirect3DMaterial(), second.Get());
}

TEST_F(Material, AssignCopiesAllButAmbient) {
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
  EXPECT_EQ(OnBuilder().Get(), material->GetIDirect3DMaterial());
}

}  // namespace
