// The object's rendering quality (modes reaching the mesh builder and read
// back from it) and its scale, kept in the vertices and undone before each
// change.
#include <cmath>
#include <limits>

#include "AppearanceTestSupport.h"
#include "korvane3d/objects/Kv3dquality.h"

using namespace kv;

namespace {

using Quality = kvtest::AppearanceTest;

TEST_F(Quality, ModesReachTheBuilderAndAreReadBack) {
  SetSquare();
  TKV3DQuality* quality = object->Quality();
  EXPECT_EQ(Builder()->GetQuality(), 137u);  // Gouraud, lights on, solid
  quality->SetMShadeMode(tsFlat);
  quality->SetMLightMode(false);
  quality->SetMFillMode(tfWireframe);
  EXPECT_EQ(Builder()->GetQuality(), 64u);
  EXPECT_FALSE(quality->SetMShadeMode(static_cast<TMShadeMode>(3)));
  EXPECT_FALSE(quality->SetMFillMode(static_cast<TMFillMode>(-1)));
  EXPECT_EQ(Builder()->GetQuality(), 64u);

  Builder()->SetQuality(D3DRMSHADE_PHONG | D3DRMLIGHT_ON | D3DRMFILL_POINTS);
  EXPECT_EQ(quality->GetMShadeMode(), tsPhong);
  EXPECT_TRUE(quality->GetMLightMode());
  EXPECT_EQ(quality->GetMFillMode(), tfPoints);
  // A new builder gets the quality too.
  object->Mesh()->SetActiveShape(stCube);
  EXPECT_EQ(Builder()->GetQuality(), 2u | 8u);
}

class Scale : public kvtest::AppearanceTest {
 protected:
  void SetUp() override {
    AppearanceTest::SetUp();
    SetTriangles({{1, 2, 3}, {-4, 0.5f, 7}, {0.1f, -0.2f, 0.3f}});
    for (DWORD i = 0; i < 3; ++i) original.push_back(Vertex(i));
    scale = object->Scale();
  }
  void ExpectScaled(float sx, float sy, float sz) {
    for (DWORD i = 0; i < original.size(); ++i) {
      const D3DVECTOR v = Vertex(i);
      EXPECT_NEAR(v.x, original[i].x * sx, 1e-5f * (1 + std::fabs(v.x))) << i;
      EXPECT_NEAR(v.y, original[i].y * sy, 1e-5f * (1 + std::fabs(v.y))) << i;
      EXPECT_NEAR(v.z, original[i].z * sz, 1e-5f * (1 + std::fabs(v.z))) << i;
    }
  }
  std::vector<D3DVECTOR> original;
  TKV3DScale* scale = nullptr;
};

TEST_F(Scale, FactorsLiveInTheVerticesAndEachChangeUndoesTheOldOnes) {
  ASSERT_TRUE(scale->SetX(2));
  ExpectScaled(2, 1, 1);
  ASSERT_TRUE(scale->SetY(3));
  ASSERT_TRUE(scale->SetZ(-0.5f));
  ASSERT_TRUE(scale->SetX(7));
  ExpectScaled(7, 3, -0.5f);
  EXPECT_FALSE(scale->SetX(0));
  EXPECT_FALSE(scale->SetY(std::numeric_limits<float>::quiet_NaN()));
  ExpectScaled(7, 3, -0.5f);
  // Undo and redo by the object round-trip within float tolerance.
  for (int i = 0; i < 10; ++i) object->ChangeScale();
  ExpectScaled(7, 3, -0.5f);
  scale->SetX(1);
  scale->SetY(1);
  scale->SetZ(1);
  ExpectScaled(1, 1, 1);
}

TEST_F(Scale, AssignReplacesTheFactorsInForceAndNewGeometryIsScaled) {
  scale->SetX(4);
  TKV3DScale source(nullptr);
  source.SetX(2);
  source.SetY(2);
  source.SetZ(2);
  object->SetScale(&source);
  ExpectScaled(2, 2, 2);
  // A generated shape comes out scaled: the unit cube spans -1 .. 1.
  object->Mesh()->SetActiveShape(stCube);
  D3DRMBOX box{};
  Builder()->GetBox(&box);
  EXPECT_NEAR(box.max.x - box.min.x, 2.0f, 1e-5f);
  EXPECT_NEAR(box.max.z - box.min.z, 2.0f, 1e-5f);
}

}  // namespace
