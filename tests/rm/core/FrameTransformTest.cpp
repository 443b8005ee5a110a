// Frame placement: combined transforms, reference frames, orientation and
// the vector helpers, against the numbers D3DRM gives.
#include <cmath>
#include <numbers>

#include "RmTesting.h"

namespace kv::rm::testing {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void ExpectRows(IDirect3DRMFrame3* f, std::initializer_list<std::initializer_list<float>> rows, D3DVECTOR t) {
  D3DRMMATRIX4D m;
  ASSERT_EQ(f->GetTransform(nullptr, m), D3DRM_OK);
  int r = 0;
  for (auto row : rows) {
    int c = 0;
    for (float v : row) EXPECT_NEAR(m[r][c++], v, 1e-5f) << "row " << r;
    ++r;
  }
  EXPECT_VEC_NEAR((D3DVECTOR{m[3][0], m[3][1], m[3][2]}), t.x, t.y, t.z, 1e-5f);
}

class FrameTransform : public ::testing::Test {
 protected:
  ComPtr<IDirect3DRM3> root = MakeRoot();
  ComPtr<IDirect3DRMFrame3> frame = MakeFrame(root.Get());
};

TEST_F(FrameTransform, TranslationCombinesBeforeAndAfter) {
  struct Case { D3DRMCOMBINETYPE type; float scale, t; } cases[] = {
      {D3DRMCOMBINE_REPLACE, 1, 3}, {D3DRMCOMBINE_BEFORE, 2, 6}, {D3DRMCOMBINE_AFTER, 2, 3}};
  for (auto c : cases) {
    frame->AddScale(D3DRMCOMBINE_REPLACE, 2, 2, 2);
    ASSERT_EQ(frame->AddTranslation(c.type, 3, 3, 3), D3DRM_OK);
    ExpectRows(frame.Get(), {{c.scale, 0, 0}, {0, c.scale, 0}, {0, 0, c.scale}}, {c.t, c.t, c.t});
    // AddTransform with the same translation matrix gives the same result.
    D3DRMMATRIX4D m = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {3, 3, 3, 1}};
    frame->AddScale(D3DRMCOMBINE_REPLACE, 2, 2, 2);
    ASSERT_EQ(frame->AddTransform(c.type, m), D3DRM_OK);
    ExpectRows(frame.Get(), {{c.scale, 0, 0}, {0, c.scale, 0}, {0, 0, c.scale}}, {c.t, c.t, c.t});
  }
}

TEST_F(FrameTransform, ScaleAndRotationCombine) {
  struct Case { D3DRMCOMBINETYPE type; float t; } scales[] = {
      {D3DRMCOMBINE_REPLACE, 0}, {D3DRMCOMBINE_BEFORE, 3}, {D3DRMCOMBINE_AFTER, 6}};
  for (auto c : scales) {
    frame->AddTranslation(D3DRMCOMBINE_REPLACE, 3, 3, 3);
    frame->AddScale(c.type, 2, 2, 2);
    ExpectRows(frame.Get(), {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}}, {c.t, c.t, c.t});
  }
  D3DVECTOR rotT[] = {{0, 0, 0}, {3, 3, 3}, {3, -3, 3}};
  D3DRMCOMBINETYPE types[] = {D3DRMCOMBINE_REPLACE, D3DRMCOMBINE_BEFORE, D3DRMCOMBINE_AFTER};
  for (int i = 0; i < 3; ++i) {
    frame->AddTranslation(D3DRMCOMBINE_REPLACE, 3, 3, 3);
    frame->AddRotation(types[i], 1, 0, 0, kPi / 2);
    ExpectRows(frame.Get(), {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}, rotT[i]);
  }
  frame->AddRotation(D3DRMCOMBINE_REPLACE, 0, 0, 1, kPi / 2);
  ExpectRows(frame.Get(), {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}, {0, 0, 0});
  frame->AddRotation(D3DRMCOMBINE_REPLACE, 0, 0, 0, kPi / 2);  // a zero axis turns about x
  ExpectRows(frame.Get(), {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}, {0, 0, 0});
}

TEST_F(FrameTransform, BadMatricesAreRefusedAndChangeNothing) {
  frame->AddTranslation(D3DRMCOMBINE_REPLACE, 1, 2, 3);
  D3DRMMATRIX4D projective = {{1, 0, 0, 1}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  EXPECT_EQ(frame->AddTransform(D3DRMCOMBINE_REPLACE, projective), D3DRMERR_BADVALUE);
  EXPECT_EQ(frame->AddTranslation(static_cast<D3DRMCOMBINETYPE>(7), 1, 1, 1), D3DRMERR_BADVALUE);
  EXPECT_EQ(frame->AddScale(D3DRMCOMBINE_AFTER, NAN, 1, 1), D3DRMERR_BADVALUE);
  EXPECT_VEC_NEAR(Position(frame.Get(), nullptr), 1, 2, 3, 0);
}

TEST_F(FrameTransform, TransformAndInverseThroughTheHierarchy) {
  frame->AddScale(D3DRMCOMBINE_REPLACE, 2, 4, 8);
  frame->AddTranslation(D3DRMCOMBINE_AFTER, 64, 64, 64);
  D3DVECTOR src{3, 5, 7}, dst, back;
  ASSERT_EQ(frame->Transform(&dst, &src), D3DRM_OK);
  EXPECT_VEC_NEAR(dst, 70, 84, 120, 1e-4f);
  auto child = MakeFrame(root.Get(), frame.Get());
  child->AddTranslation(D3DRMCOMBINE_REPLACE, 11, 11, 11);
  ASSERT_EQ(child->Transform(&dst, &src), D3DRM_OK);
  EXPECT_VEC_NEAR(dst, 92, 128, 208, 1e-4f);
  ASSERT_EQ(child->InverseTransform(&back, &dst), D3DRM_OK);
  EXPECT_VEC_NEAR(back, 3, 5, 7, 1e-4f);
}

TEST_F(FrameTransform, AddChildKeepsLocalPlacementSetPositionKeepsWorld) {
  auto parent = MakeFrame(root.Get());
  parent->SetPosition(nullptr, 10, 0, 0);
  auto a = MakeFrame(root.Get());
  a->SetPosition(nullptr, 5, 0, 0);
  ASSERT_EQ(parent->AddChild(a.Get()), D3DRM_OK);
  EXPECT_VEC_NEAR(Position(a.Get(), nullptr), 15, 0, 0, 1e-5f);
  EXPECT_VEC_NEAR(Position(a.Get(), parent.Get()), 5, 0, 0, 1e-5f);
  // Setting the position relative to the world keeps the world place.
  auto b = MakeFrame(root.Get());
  b->SetPosition(nullptr, 5, 0, 0);
  parent->AddChild(b.Get());
  b->SetPosition(nullptr, 5, 0, 0);
  EXPECT_VEC_NEAR(Position(b.Get(), nullptr), 5, 0, 0, 1e-5f);
  EXPECT_VEC_NEAR(Position(b.Get(), parent.Get()), -5, 0, 0, 1e-5f);
}

TEST_F(FrameTransform, PlacementRelativeToATurnedFrame) {
  auto ref = MakeFrame(root.Get());
  ref->SetPosition(nullptr, 1, 2, 3);
  ref->AddRotation(D3DRMCOMBINE_BEFORE, 0, 1, 0, kPi / 2);  // ref's z points along world -x... check below
  D3DVECTOR dir, up;
  ref->GetOrientation(nullptr, &dir, &up);
  frame->SetPosition(ref.Get(), 0, 0, 2);  // two units along ref's direction
  D3DVECTOR world = Position(frame.Get(), nullptr);
  EXPECT_VEC_NEAR(world, 1 + 2 * dir.x, 2 + 2 * dir.y, 3 + 2 * dir.z, 1e-5f);
  EXPECT_VEC_NEAR(Position(frame.Get(), ref.Get()), 0, 0, 2, 1e-5f);
  frame->SetVelocity(ref.Get(), 0, 0, 1, FALSE);
  D3DVECTOR v;
  frame->GetVelocity(nullptr, &v, FALSE);
  EXPECT_VEC_NEAR(v, dir.x, dir.y, dir.z, 1e-5f);
  frame->SetRotation(ref.Get(), 0, 0, 0, 0);  // reads back as given, not normalised
  D3DVECTOR axis;
  float theta = 1;
  frame->GetRotation(ref.Get(), &axis, &theta);
  EXPECT_VEC_NEAR(axis, 0, 0, 0, 0);
  EXPECT_EQ(theta, 0);
}

TEST_F(FrameTransform, OrientationSetReadAndRefused) {
  D3DVECTOR dir, up;
  ASSERT_EQ(frame->GetOrientation(nullptr, &dir, &up), D3DRM_OK);
  EXPECT_VEC_NEAR(dir, 0, 0, 1, 0);
  EXPECT_VEC_NEAR(up, 0, 1, 0, 0);
  frame->SetPosition(nullptr, 4, 5, 6);
  ASSERT_EQ(frame->SetOrientation(nullptr, 0, 0, 2, 1, 1, 0), D3DRM_OK);  // up is straightened against dir
  frame->GetOrientation(nullptr, &dir, &up);
  EXPECT_VEC_NEAR(dir, 0, 0, 1, 1e-6f);
  EXPECT_VEC_NEAR(up, 1 / std::sqrt(2.0f), 1 / std::sqrt(2.0f), 0, 1e-6f);
  EXPECT_VEC_NEAR(Position(frame.Get(), nullptr), 4, 5, 6, 1e-6f);

  EXPECT_EQ(frame->SetOrientation(nullptr, 0, 0, 0, 0, 1, 0), D3DRMERR_BADVALUE);
  EXPECT_EQ(frame->SetOrientation(nullptr, 0, 0, 1, 0, 0, 0), D3DRMERR_BADVALUE);
  EXPECT_EQ(frame->SetOrientation(nullptr, 0, 0, 1, 0, 0, -3), D3DRMERR_BADVALUE);  // parallel
  D3DVECTOR dir2, up2;
  frame->GetOrientation(nullptr, &dir2, &up2);
  EXPECT_VEC_NEAR(dir2, dir.x, dir.y, dir.z, 0);
  EXPECT_VEC_NEAR(up2, up.x, up.y, up.z, 0);
}

TEST_F(FrameTransform, OrientationIsLeftHanded) {
  // Looking along +x with up +y puts the frame's x axis on world -z.
  frame->SetOrientation(nullptr, 1, 0, 0, 0, 1, 0);
  D3DVECTOR localX{1, 0, 0}, origin{0, 0, 0}, a, b;
  frame->Transform(&a, &localX);
  frame->Transform(&b, &origin);
  EXPECT_VEC_NEAR((D3DVECTOR{a.x - b.x, a.y - b.y, a.z - b.z}), 0, 0, -1, 1e-6f);
}

TEST(VectorMath, PublishedNumbers) {
  D3DVECTOR v{2, 2, 1}, w{4, 4, 0}, r;
  EXPECT_FLOAT_EQ(D3DRMVectorModulus(&v), 3);
  D3DVECTOR zero{};
  EXPECT_VEC_NEAR(*D3DRMVectorNormalize(&zero), 1, 0, 0, 0);
  EXPECT_VEC_NEAR(*D3DRMVectorCrossProduct(&r, &v, &w), -4, 4, 0, 0);
  D3DVECTOR p{3, 4, 0}, z{0, 0, 1};
  EXPECT_VEC_NEAR(*D3DRMVectorRotate(&r, &p, &z, 2 * kPi / 3), -0.3 - 0.4 * std::sqrt(3.0), 0.3 * std::sqrt(3.0) - 0.4,
                  0, 1e-5f);
  EXPECT_VEC_NEAR(*D3DRMVectorRotate(&r, &p, &z, -kPi / 4), 1.4 / std::sqrt(2.0), 0.2 / std::sqrt(2.0), 0, 1e-5f);
  D3DVECTOR ray{3, -4, 5}, n{1, -2, 6};
  EXPECT_VEC_NEAR(*D3DRMVectorReflect(&r, &ray, &n), 79, -160, 487, 1e-3f);
  D3DRMQUATERNION q;
  D3DVECTOR diag{1, 1, 1};
  D3DRMQuaternionFromRotation(&q, &diag, 2 * kPi / 3);
  EXPECT_NEAR(q.s, 0.5f, 1e-6f);
  EXPECT_VEC_NEAR(q.v, 0.5f, 0.5f, 0.5f, 1e-6f);
  D3DRMQUATERNION raw{1, {2, 3, 4}};
  D3DRMMATRIX4D m;
  D3DRMMatrixFromQuaternion(m, &raw);
  float expected[3][3] = {{-49, 4, 22}, {20, -39, 20}, {10, 28, -25}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_FLOAT_EQ(m[i][j], expected[i][j]);
}

TEST_F(FrameTransform, PlacementRelativeToTheParentIsExactAtAnyDepth) {
  // Relative to its own parent a frame's numbers are its own: they read
  // back bit for bit under turned, scaled and moved parents, and a deep
  // chain is no slower per frame than a shallow one.
  ComPtr<IDirect3DRMFrame3> parent = frame;
  for (int depth = 0; depth < 2000; ++depth) {
    if (depth < 8) {
      parent->AddScale(D3DRMCOMBINE_REPLACE, 1.5f, 0.7f, 1.1f);
    }
    parent->AddRotation(D3DRMCOMBINE_AFTER, 0.3f, 1, 0.2f, 0.4f + 0.001f * static_cast<float>(depth));
    parent->AddTranslation(D3DRMCOMBINE_AFTER, 1.1f, -2.3f, 0.7f);
    ComPtr<IDirect3DRMFrame3> child = MakeFrame(root.Get(), parent.Get());
    parent = child;
  }
  ComPtr<IDirect3DRMFrame3> deep = MakeFrame(root.Get(), parent.Get());
  ASSERT_EQ(deep->SetPosition(parent.Get(), 0.1f, -7.3f, 1e3f), D3DRM_OK);
  ASSERT_EQ(deep->SetVelocity(parent.Get(), 0.3f, 0.2f, -0.1f, FALSE), D3DRM_OK);
  ASSERT_EQ(deep->SetOrientation(parent.Get(), 0, 0, 1, 0, 1, 0), D3DRM_OK);
  const D3DVECTOR p = Position(deep.Get(), parent.Get());
  EXPECT_EQ(p.x, 0.1f);
  EXPECT_EQ(p.y, -7.3f);
  EXPECT_EQ(p.z, 1e3f);
  D3DVECTOR v{}, dir{}, up{};
  ASSERT_EQ(deep->GetVelocity(parent.Get(), &v, FALSE), D3DRM_OK);
  EXPECT_EQ(v.x, 0.3f);
  EXPECT_EQ(v.z, -0.1f);
  ASSERT_EQ(deep->GetOrientation(parent.Get(), &dir, &up), D3DRM_OK);
  EXPECT_EQ(dir.z, 1.0f);
  EXPECT_EQ(up.y, 1.0f);
  EXPECT_EQ(dir.x, 0.0f);
}

}  // namespace
}  // namespace kv::rm::testing
