// The projection formulas, and the agreement between what is drawn and what
// TransformToScreen reports.
#include <gtest/gtest.h>

#include "RasterTestSupport.h"
#include "korvane3d/rm/raster/Projection.h"

namespace kv::raster::test {
namespace {

View DefaultView(int w, int h) {
  View v;
  v.projection.back = 100;
  v.viewport = {0, 0, w, h};
  return v;
}

TEST(Projection, DefaultViewportNumbers) {
  View v = DefaultView(200, 200);
  Vec4 a = TransformToScreen(v, {0.5f, 0.5f, 1});
  ASSERT_GT(a.w, 0);
  EXPECT_NEAR(a.x / a.w, 200, 1e-3);
  EXPECT_NEAR(a.y / a.w, 0, 1e-3);
  EXPECT_NEAR(a.z / a.w, 0, 1e-6);
  Vec4 b = TransformToScreen(v, {0, 0, 100});
  EXPECT_NEAR(b.x / b.w, 100, 1e-3);
  EXPECT_NEAR(b.y / b.w, 100, 1e-3);
  EXPECT_NEAR(b.z / b.w, 1, 1e-5);
  EXPECT_LE(TransformToScreen(v, {0, 0, -1}).w, 0) << "a point behind the camera has w <= 0";
}

TEST(Projection, InverseTransformReturnsThePoint) {
  for (ProjectionType type : {ProjectionType::Perspective, ProjectionType::Orthographic}) {
    for (bool rh : {false, true}) {
      View v = DefaultView(320, 200);
      v.projection.type = type;
      v.projection.rightHanded = rh;
      v.projection.left = -0.3f;  // an off-centre window
      v.worldToCamera = Multiply(Translation(1, 2, 3), Matrix{});
      for (Vec3 p : {Vec3{0.5f, 0.5f, 1}, Vec3{-3, 2, 40}, Vec3{0.1f, -0.2f, 7}}) {
        Vec3 back;
        ASSERT_TRUE(InverseTransformFromScreen(v, TransformToScreen(v, p), back));
        EXPECT_NEAR(back.x, p.x, 1e-3 * (1 + std::fabs(p.z)));
        EXPECT_NEAR(back.y, p.y, 1e-3 * (1 + std::fabs(p.z)));
        EXPECT_NEAR(back.z, p.z, 1e-3 * (1 + std::fabs(p.z)));
      }
    }
  }
}

TEST(Projection, RightHandedMirrorsX) {
  View v = DefaultView(200, 200);
  v.projection.rightHanded = true;
  Vec4 a = TransformToScreen(v, {0.5f, 0.5f, 1});
  EXPECT_NEAR(a.x / a.w, 0, 1e-3);
  EXPECT_NEAR(a.y / a.w, 0, 1e-3);
}

TEST(Projection, UniformScalingFitsTheLargerSide) {
  // 400x200 viewport, square window: 400 pixels per front-plane unit for both
  // axes, so the window's top edge lies above the viewport.
  View v = DefaultView(400, 200);
  Vec4 top = TransformToScreen(v, {0, 0.25f, 1});
  EXPECT_NEAR(top.y / top.w, 0, 1e-3);
  v.projection.uniformScaling = false;  // the window fills the viewport exactly
  top = TransformToScreen(v, {0, 0.5f, 1});
  EXPECT_NEAR(top.y / top.w, 0, 1e-3);
}

// The centre of a small drawn square must land where TransformToScreen puts
// its centre, for every kind of projection: the drawing path and the
// reporting path use separate formulas.
TEST(Projection, DrawnPositionMatchesTransformToScreen) {
  struct Case {
    ProjectionType type;
    bool rh, uniform;
    int w, h;
  } cases[] = {{ProjectionType::Perspective, false, true, 160, 100},
               {ProjectionType::Perspective, true, true, 160, 100},
               {ProjectionType::Perspective, false, false, 100, 160},
               {ProjectionType::Orthographic, false, true, 160, 100},
               {ProjectionType::Orthographic, true, false, 120, 120}};
  for (const Case& c : cases) {
    Canvas canvas(c.w, c.h);
    canvas.view.projection.type = c.type;
    canvas.view.projection.rightHanded = c.rh;
    canvas.view.projection.uniformScaling = c.uniform;
    canvas.view.projection.right = 0.7f;  // off-centre window
    Rasterizer r;
    DrawCall d = Unlit(0xffffff);
    d.cull = CullMode::None;
    const Vec3 centre{0.1f, -0.05f, 2};
    Render(r, canvas, {{Square(centre.x, centre.y, 0.02f, centre.z), d}});
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x)
        if (canvas.At(x, y) != kBlack) {
          sx += x + 0.5;
          sy += y + 0.5;
          ++n;
        }
    ASSERT_GT(n, 0);
    Vec4 p = TransformToScreen(canvas.view, centre);
    EXPECT_NEAR(sx / n, p.x / p.w, 0.75) << "case " << (&c - cases);
    EXPECT_NEAR(sy / n, p.y / p.w, 0.75) << "case " << (&c - cases);
  }
}

}  // namespace
}  // namespace kv::raster::test
