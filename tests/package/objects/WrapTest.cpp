// The object's texture wrap: texture coordinates of each wrap type on known
// vertices, computed on the unscaled geometry; the chrome wrap following the
// object's movement relative to its reference frame; a freed reference frame.
#include <cmath>
#include <limits>
#include <numbers>
#include <thread>

#include "AppearanceTestSupport.h"
#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/objects/Kv3dquality.h"
#include "korvane3d/objects/Kv3dtexture.h"
#include "korvane3d/objects/Kv3dwrap.h"

using namespace kv;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Test points and, from the wrap definitions (wrap axes x, y, z equal to the
// builder's here): the angle about z from +y towards +x, and the angle from +z.
const std::vector<D3DVECTOR> kPoints = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}, {1, 1, 0.5f}};

float AroundZ(const D3DVECTOR& p) {
  float theta = std::atan2(p.x, p.y);
  return theta < 0 ? theta + 2 * kPi : theta;
}
float FromZ(const D3DVECTOR& p) { return std::acos(p.z / std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z)); }

class Wrap : public kvtest::AppearanceTest {
 protected:
  void SetUp() override {
    AppearanceTest::SetUp();
    SetTriangles(kPoints);
    wrap = object->Wrap();
  }
  // Direction +z, up +y, origin 0: wrap coordinates are builder coordinates.
  void Orient() {
    wrap->SetDirZ(1);
    wrap->SetUpY(1);
  }
  void ExpectCoords(const std::vector<std::pair<float, float>>& expected) {
    for (DWORD i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(i);
      const auto [u, v] = TexCoords(i);
      EXPECT_NEAR(u, expected[i].first, 1e-5f);
      EXPECT_NEAR(v, expected[i].second, 1e-5f);
    }
  }
  TKV3DWrap* wrap = nullptr;
};

TEST_F(Wrap, WithoutDirectionThereIsNoWrapAndTheTextureStillReachesTheBuilder) {
  EXPECT_EQ(wrap->GetIDirect3DWrap(), nullptr);
  object->Texture()->SetFileName(Picture("picture.bmp"));
  ComPtr<IDirect3DRMTexture3> t;
  Builder()->GetTexture(t.ReleaseAndGetAddressOf());
  EXPECT_EQ(t.Get(), object->Texture()->GetIDirect3DTexture());
  ExpectCoords(std::vector<std::pair<float, float>>(kPoints.size(), {0.0f, 0.0f}));
}

TEST_F(Wrap, FlatCylinderAndSphereCoordinates) {
  Orient();
  ASSERT_NE(wrap->GetIDirect3DWrap(), nullptr);
  wrap->SetTextureScaleU(2);
  wrap->SetTextureOriginU(0.5f);
  wrap->SetTextureOriginV(-0.25f);
  std::vector<std::pair<float, float>> flat, cylinder, sphere;
  for (const D3DVECTOR& p : kPoints) {
    flat.emplace_back(2 * p.x - 0.5f, p.y + 0.25f);
    cylinder.emplace_back(2 * AroundZ(p) / (2 * kPi) - 0.5f, p.z + 0.25f);
    sphere.emplace_back(2 * AroundZ(p) / (2 * kPi) - 0.5f, FromZ(p) / kPi + 0.25f);
  }
  ExpectCoords(flat);
  wrap->SetType(twCylinder);
  ExpectCoords(cylinder);
  wrap->SetType(twSphere);
  ExpectCoords(sphere);
  // The origin moves the wrap: the flat x of every point shifts by it.
  wrap->SetType(twFlat);
  wrap->SetOriginX(1);
  for (auto& [u, v] : flat) u -= 2;
  ExpectCoords(flat);
  // Refused values change nothing.
  IDirect3DRMWrap* engine = wrap->GetIDirect3DWrap();
  EXPECT_FALSE(wrap->SetTextureScaleU(0));
  EXPECT_FALSE(wrap->SetOriginX(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_FALSE(wrap->SetType(static_cast<TWrapType>(9)));
  EXPECT_EQ(wrap->GetIDirect3DWrap(), engine);
  ExpectCoords(flat);
}

TEST_F(Wrap, CoordinatesComeFromTheUnscaledGeometry) {
  ASSERT_TRUE(object->Scale()->SetX(3));
  EXPECT_FLOAT_EQ(Vertex(0).x, 3.0f);
  Orient();
  EXPECT_NEAR(TexCoords(0).first, 1.0f, 1e-6f);
  EXPECT_FLOAT_EQ(Vertex(0).x, 3.0f);
  EXPECT_FLOAT_EQ(Vertex(5).x, 3.0f);
}

TEST_F(Wrap, ChromeFollowsTheObjectMovingRelativeToItsReferenceFrame) {
  auto* viewer = new TKV3DFrame(owner.get());
  Orient();
  wrap->SetType(twChrome);
  wrap->SetRefFrame(viewer);
  const auto before = TexCoords(2);
  // The engine moves the object; its move callback re-applies the wrap.
  object->Position()->SetX(4);
  object->Position()->SetZ(2);
  ASSERT_EQ(SharedRootFrame()->Move(1.0f), D3DRM_OK);
  const auto after = TexCoords(2);
  EXPECT_GT(std::fabs(after.first - before.first) + std::fabs(after.second - before.second), 0.05f);
}

TEST_F(Wrap, ChromeReappliedWhileAnotherThreadMovesTheScene) {
  auto* viewer = new TKV3DFrame(owner.get());
  Orient();
  wrap->SetRefFrame(viewer);
  object->Rotation()->SetY(1);
  object->Rotation()->SetAngle(5);
  std::thread mover([] {
    for (int i = 0; i < 200; ++i) SharedRootFrame()->Move(1.0f);
  });
  for (int i = 0; i < 200; ++i) wrap->SetType(i % 2 == 0 ? twChrome : twSphere);
  mover.join();
  EXPECT_EQ(wrap->Type(), twSphere);
  EXPECT_NE(wrap->GetIDirect3DWrap(), nullptr);
}

TEST_F(Wrap, ACopyRelativeToItsOwnObjectStaysRelativeToItsOwnObject) {
  auto* other = new TKV3DObject(owner.get());
  auto* viewer = new TKV3DFrame(owner.get());
  other->SetWrap(wrap);
  EXPECT_EQ(other->Wrap()->RefFrame(), other);
  wrap->SetRefFrame(viewer);
  other->SetWrap(wrap);
  EXPECT_EQ(other->Wrap()->RefFrame(), viewer);
}

TEST_F(Wrap, AFreedReferenceFrameIsForgottenAndTheWrapRemade) {
  auto* ref = new TKV3DFrame(owner.get());
  Orient();
  wrap->SetRefFrame(ref);
  IDirect3DRMWrap* engine = wrap->GetIDirect3DWrap();
  ComPtr<IDirect3DRMWrap> keep(engine);
  delete ref;
  EXPECT_EQ(wrap->RefFrame(), nullptr);
  EXPECT_NE(wrap->GetIDirect3DWrap(), nullptr);
  EXPECT_NE(wrap->GetIDirect3DWrap(), engine);
}

}  // namespace
