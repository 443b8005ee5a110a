// The object's rendering quality (shade, light and fill modes reaching the
// mesh builder and read back from it) and its scale, kept in the vertices
// and undone before each change.
#include <cmath>
#include <limits>

#include "AppearanceTestSupport.h"
#include "objects/Kv3dquality.h"

using namespace kv;

namespace {

class Quality : public kvtest::AppearanceTest {
 protected:
  void SetUp() override {
    AppearanceTest::SetUp();
    SetSquare();
    quality = object->Quality();
  }
  TKV3DQuality* quality = nullptr;
};

TEST_F(Quality, EachCombinationReachesTheBuilder) {
  EXPECT_EQ(Builder()->GetQuality(), 137u);  // Gouraud, lights on, solid
  struct Row {
    TMShadeMode shade;
    bool light;
    TMFillMode fill;
    D3DRMRENDERQUALITY engine;
  };
  const Row rows[] = {{tsFlat, false, tfWireframe, 64},
                      {tsPhong, true, tfPoints, 2 | 8},
                      {tsGouraud, false, tfSolid, 1 | 128},
                      {tsFlat, true, tfSolid, 8 | 128}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.engine);
    quality->SetMShadeMode(r.shade);
    quality->SetMLightMode(r.light);
    quality->SetMFillMode(r.fill);
    EXPECT_EQ(Builder()->GetQuality(), r.engine);
  }
  // A new builder gets the quality too.
  object->Mesh()->SetActiveShape(stCube);
  EXPECT_EQ(Builder()->GetQuality(), 8u | 128u);
}

TEST_F(Quality, GettersReadTheBuilderAndKeepValuesOutsideTheTable) {
  Builder()->SetQuality(D3DRMSHADE_FLAT | D3DRMLIGHT_OFF | D3DRMFILL_WIREFRAME);
  EXPECT_EQ(quality->GetMShadeMode(), tsFlat);
  EXPECT_FALSE(quality->GetMLightMode());
  EXPECT_EQ(quality->GetMFillMode(), tfWireframe);
  Builder()->SetQuality(5 | 0x18 | 0x1C0);
  EXPECT_EQ(quality->GetMShadeMode(), tsFlat);
  EXPECT_FALSE(quality->GetMLightMode());
  EXPECT_EQ(quality->GetMFillMode(), tfWireframe);
}

TEST_F(Quality, RefusedModesChangeNothingAndAssignCopiesAll) {
  EXPECT_FALSE(quality->SetMShadeMode(static_cast<TMShadeMode>(3)));
  EXPECT_FALSE(quality->SetMFillMode(static_cast<TMFillMode>(-1)));
  EXPECT_EQ(Builder()->GetQuality(), 137u);
  TKV3DQuality source(nullptr);
  source.SetMShadeMode(tsPhong);
  source.SetMLightMode(false);
  source.SetMFillMode(tfPoints);
  object->SetQuality(&source);
  EXPECT_EQ(Builder()->GetQuality(), 2u);
}

class Scale : public kvtest::AppearanceTest {
 protected:
  void SetUp() override {
    AppearanceTest::SetUp();
    SetTriangles({{1, 2, 3}, {-4, 0.5f, 7}, {0.1f, -0.2f, 0.3f}});
    for (DWORD i = 0; i < 3; ++i) original.push_back(Vertex(i));
    scale = object->Scale();
  }
  void ExpectScaled(float sx, float sy, float sz, float tolerance = 1e-6f) {
    for (DWORD i = 0; i < original.size(); ++i) {
      SCOPED_TRACE(i);
      const D3DVECTOR v = Vertex(i);
      EXPECT_NEAR(v.x, original[i].x * sx, tolerance * (1 + std::fabs(v.x)));
      EXPECT_NEAR(v.y, original[i].y * sy, tolerance * (1 + std::fabs(v.y)));
      EXPECT_NEAR(v.z, original[i].z * sz, tolerance * (1 + std::fabs(v.z)));
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
  ExpectScaled(2, 3, -0.5f);
  ASSERT_TRUE(scale->SetX(7));
  ExpectScaled(7, 3, -0.5f, 1e-5f);
  // Undo and redo by the object round-trip within float tolerance.
  for (int i = 0; i < 10; ++i) object->ChangeScale();
  ExpectScaled(7, 3, -0.5f, 1e-5f);
  scale->SetX(1);
  scale->SetY(1);
  scale->SetZ(1);
  ExpectScaled(1, 1, 1, 1e-5f);
}

TEST_F(Scale, ZeroAndNonFiniteFactorsAreRefused) {
  scale->SetX(2);
  EXPECT_FALSE(scale->SetX(0));
  EXPECT_FALSE(scale->SetY(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_FALSE(scale->SetZ(-std::numeric_limits<float>::infinity()));
  EXPECT_EQ(scale->X(), 2.0f);
  EXPECT_EQ(scale->Y(), 1.0f);
  ExpectScaled(2, 1, 1);
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
