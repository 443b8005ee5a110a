// Viewport settings and the conversions between world points and pixels.
#include <cmath>

#include "DeviceTesting.h"

using namespace kv;

namespace kvtest {
namespace {

using ViewportSettings = RenderTest;

TEST_F(ViewportSettings, DefaultsAndValidation) {
  EXPECT_FLOAT_EQ(viewport->GetField(), 0.5f);
  D3DVALUE l, r, b, t;
  ASSERT_EQ(viewport->GetPlane(&l, &r, &b, &t), D3DRM_OK);
  EXPECT_EQ(l, -0.5f);
  EXPECT_EQ(r, 0.5f);
  EXPECT_EQ(b, -0.5f);
  EXPECT_EQ(t, 0.5f);
  EXPECT_EQ(viewport->GetFront(), 1.0f);
  EXPECT_EQ(viewport->GetBack(), 100.0f);
  EXPECT_EQ(viewport->GetProjection(), D3DRMPROJECT_PERSPECTIVE);
  EXPECT_EQ(viewport->GetUniformScaling(), TRUE);

  EXPECT_EQ(viewport->SetField(0), D3DRMERR_BADVALUE);
  EXPECT_EQ(viewport->SetField(-1), D3DRMERR_BADVALUE);
  EXPECT_EQ(viewport->SetField(NAN), D3DRMERR_BADVALUE);
  EXPECT_FLOAT_EQ(viewport->GetField(), 0.5f);
  EXPECT_EQ(viewport->SetFront(0), D3DRMERR_BADVALUE);
  EXPECT_EQ(viewport->SetFront(-2), D3DRMERR_BADVALUE);
  EXPECT_EQ(viewport->SetBack(1), D3DRMERR_BADVALUE);  // not behind the front plane
  EXPECT_EQ(viewport->SetBack(0.5f), D3DRMERR_BADVALUE);
  EXPECT_EQ(viewport->GetFront(), 1.0f);
  EXPECT_EQ(viewport->GetBack(), 100.0f);
  EXPECT_EQ(viewport->SetProjection(static_cast<D3DRMPROJECTIONTYPE>(4)), D3DRMERR_BADVALUE);
  EXPECT_EQ(viewport->GetPlane(&l, nullptr, &b, &t), D3DRMERR_BADVALUE);
}

TEST_F(ViewportSettings, FieldAndPlaneAreOneState) {
  ASSERT_EQ(viewport->SetPlane(5, 3, 2, 0), D3DRM_OK);
  EXPECT_FLOAT_EQ(viewport->GetField(), -1.0f);
  ASSERT_EQ(viewport->SetField(0.75f), D3DRM_OK);
  D3DVALUE l, r, b, t;
  ASSERT_EQ(viewport->GetPlane(&l, &r, &b, &t), D3DRM_OK);
  EXPECT_EQ(l, -0.75f);
  EXPECT_EQ(r, 0.75f);
  EXPECT_EQ(b, -0.75f);
  EXPECT_EQ(t, 0.75f);
  ASSERT_EQ(viewport->SetFront(2), D3DRM_OK);
  ASSERT_EQ(viewport->SetBack(5000), D3DRM_OK);
  EXPECT_EQ(viewport->GetFront(), 2.0f);
  EXPECT_EQ(viewport->GetBack(), 5000.0f);
  ASSERT_EQ(viewport->SetProjection(D3DRMPROJECT_ORTHOGRAPHIC), D3DRM_OK);
  EXPECT_EQ(viewport->GetProjection(), D3DRMPROJECT_ORTHOGRAPHIC);
  ASSERT_EQ(viewport->SetUniformScaling(FALSE), D3DRM_OK);
  EXPECT_EQ(viewport->GetUniformScaling(), FALSE);
}

TEST_F(ViewportSettings, CreationChecksTheRectangleAndObjects) {
  ComPtr<IDirect3DRMViewport2> v;
  EXPECT_EQ(root->CreateViewport(device.Get(), camera.Get(), 10, 0, kSize, kSize, v.ReleaseAndGetAddressOf()),
            D3DRMERR_BADVALUE);
  EXPECT_EQ(root->CreateViewport(device.Get(), camera.Get(), 0xffffffffu, 0, 2, 2, v.ReleaseAndGetAddressOf()),
            D3DRMERR_BADVALUE);
  EXPECT_EQ(root->CreateViewport(device.Get(), nullptr, 0, 0, 2, 2, v.ReleaseAndGetAddressOf()), D3DRMERR_BADOBJECT);
  // An empty viewport is accepted and draws nothing.
  ASSERT_EQ(root->CreateViewport(device.Get(), camera.Get(), 0, 0, 0, 0, v.ReleaseAndGetAddressOf()), D3DRM_OK);
  EXPECT_EQ(v->Clear(D3DRMCLEAR_ALL), D3DRM_OK);
  EXPECT_EQ(v->Render(scene.Get()), D3DRM_OK);
  ComPtr<IDirect3DRMFrame3> cam;
  ASSERT_EQ(viewport->GetCamera(cam.ReleaseAndGetAddressOf()), D3DRM_OK);
  EXPECT_EQ(cam.Get(), camera.Get());
  ComPtr<IDirect3DRMDevice3> dev;
  ASSERT_EQ(viewport->GetDevice(dev.ReleaseAndGetAddressOf()), D3DRM_OK);
  EXPECT_EQ(dev.Get(), device.Get());
  EXPECT_EQ(viewport->SetCamera(nullptr), D3DRMERR_BADOBJECT);
}

D3DRMVECTOR4D ToScreen(IDirect3DRMViewport2* v, D3DVECTOR p) {
  D3DRMVECTOR4D s;
  EXPECT_EQ(v->Transform(&s, &p), D3DRM_OK);
  return s;
}

TEST_F(ViewportSettings, TransformProjectsKnownPoints) {
  D3DRMVECTOR4D s = ToScreen(viewport.Get(), {0.5f, 0.5f, 1});
  ASSERT_GT(s.w, 0);
  EXPECT_NEAR(s.x / s.w, 200, 1e-3);
  EXPECT_NEAR(s.y / s.w, 0, 1e-3);
  EXPECT_NEAR(s.z / s.w, 0, 1e-5);
  s = ToScreen(viewport.Get(), {0, 0, 100});
  EXPECT_NEAR(s.x / s.w, 100, 1e-3);
  EXPECT_NEAR(s.y / s.w, 100, 1e-3);
  EXPECT_NEAR(s.z / s.w, 1, 1e-5);
  // Behind the camera: w is not positive.
  EXPECT_LE(ToScreen(viewport.Get(), {0, 0, -3}).w, 0);
  // The camera moved and turned: a point straight ahead lands in the centre.
  ASSERT_EQ(camera->SetPosition(scene.Get(), 10, 0, 0), D3DRM_OK);
  ASSERT_EQ(camera->SetOrientation(scene.Get(), 1, 0, 0, 0, 1, 0), D3DRM_OK);
  s = ToScreen(viewport.Get(), {20, 0, 0});
  EXPECT_NEAR(s.x / s.w, 100, 1e-3);
  EXPECT_NEAR(s.y / s.w, 100, 1e-3);
}

TEST_F(ViewportSettings, InverseTransformReturnsThePoint) {
  ASSERT_EQ(camera->SetPosition(scene.Get(), 1, 2, -3), D3DRM_OK);
  ASSERT_EQ(camera->AddRotation(D3DRMCOMBINE_BEFORE, 0, 1, 0, 0.3f), D3DRM_OK);
  for (D3DRMPROJECTIONTYPE type : {D3DRMPROJECT_PERSPECTIVE, D3DRMPROJECT_ORTHOGRAPHIC}) {
    ASSERT_EQ(viewport->SetProjection(type), D3DRM_OK);
    for (D3DVECTOR p : {D3DVECTOR{0.5f, 0.5f, 1}, D3DVECTOR{-3, 4, 20}, D3DVECTOR{2, -1, 60}}) {
      D3DRMVECTOR4D s = ToScreen(viewport.Get(), p);
      D3DVECTOR back;
      ASSERT_EQ(viewport->InverseTransform(&back, &s), D3DRM_OK);
      EXPECT_NEAR(back.x, p.x, 1e-3);
      EXPECT_NEAR(back.y, p.y, 1e-3);
      EXPECT_NEAR(back.z, p.z, 1e-3);
      // Dragging: moving the screen point by a pixel moves the world point sideways.
      s.x += s.w;
      ASSERT_EQ(viewport->InverseTransform(&back, &s), D3DRM_OK);
      EXPECT_GT(std::hypot(back.x - p.x, back.z - p.z), 1e-4);
    }
  }
  D3DRMVECTOR4D zero{1, 1, 0.5f, 0};
  D3DVECTOR out{7, 7, 7};
  EXPECT_EQ(viewport->InverseTransform(&out, &zero), D3DRMERR_BADVALUE);
  EXPECT_EQ(out.x, 7);
  EXPECT_EQ(viewport->Transform(nullptr, &out), D3DRMERR_BADVALUE);
}

TEST_F(ViewportSettings, UniformScalingFitsTheLargerSide) {
  ComPtr<IDirect3DRMViewport2> wide;
  ASSERT_EQ(root->CreateViewport(device.Get(), camera.Get(), 0, 50, 200, 100, wide.ReleaseAndGetAddressOf()),
            D3DRM_OK);
  // Window edge at x = 0.5 on the front plane meets the right edge; y shows less.
  D3DRMVECTOR4D s = ToScreen(wide.Get(), {0.5f, 0.25f, 1});
  EXPECT_NEAR(s.x / s.w, 200, 1e-3);
  EXPECT_NEAR(s.y / s.w, 50, 1e-3);
  ASSERT_EQ(wide->SetUniformScaling(FALSE), D3DRM_OK);
  s = ToScreen(wide.Get(), {0.5f, 0.5f, 1});
  EXPECT_NEAR(s.x / s.w, 200, 1e-3);
  EXPECT_NEAR(s.y / s.w, 50, 1e-3);
}

}  // namespace
}  // namespace kvtest
