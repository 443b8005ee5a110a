// Frames drawn through the device: lit meshes, background colour and image,
// fog, the quality minimum rule, cull mode, and the device's own settings.
#include <thread>

#include "DeviceTesting.h"
#include "korvane3d/rm/image/Image.h"

using namespace kv;

namespace kvtest {
namespace {

constexpr int kMid = RenderTest::kSize / 2;

TEST_F(RenderTest, LitCubeOverTheBackground) {
  ASSERT_EQ(scene->SetSceneBackground(0xff204060), D3DRM_OK);
  AddWhiteLights();
  PlaceCube(scene.Get(), 0, 0, 5, 1, 0xff808080);
  kv::ddraw::PixelImage image = Draw();
  // Front face: grey × (ambient 0.25 + full directional) ≈ 0.5 × 1.25.
  const std::uint32_t centre = image.At(kMid, kMid);
  EXPECT_NEAR(Channel(centre, 16), 160, 4);
  EXPECT_EQ(Channel(centre, 16), Channel(centre, 8));
  EXPECT_EQ(Channel(centre, 8), Channel(centre, 0));
  for (auto [x, y] : {std::pair{0, 0}, {kSize - 1, 0}, {0, kSize - 1}, {kSize - 1, kSize - 1}})
    EXPECT_EQ(image.At(x, y), 0x204060u) << x << "," << y;
  // The front face (depth 4) spans half the window: x from 50 to 150.
  EXPECT_EQ(image.At(47, kMid), 0x204060u);
  EXPECT_NE(image.At(53, kMid), 0x204060u);
  EXPECT_NE(image.At(147, kMid), 0x204060u);
  EXPECT_EQ(image.At(153, kMid), 0x204060u);

  // Moving the frame moves the picture; the mesh itself is unchanged.
  ComPtr<IDirect3DRMFrame3> second = PlaceCube(scene.Get(), 0, 0, 5, 1, 0xffff0000);
  ASSERT_EQ(second->SetPosition(scene.Get(), 100, 0, 5), D3DRM_OK);
  image = Draw();
  EXPECT_NEAR(Channel(image.At(kMid, kMid), 16), 160, 4);
}

TEST_F(RenderTest, QualityIsTheLowerOfDeviceAndMesh) {
  // No lights: a lit mesh is black, an unlit one shows its own colour.
  ComPtr<IDirect3DRMFrame3> f = PlaceCube(scene.Get(), 0, 0, 5, 1, 0xff00c000);
  EXPECT_EQ(Draw().At(kMid, kMid), 0u);
  ComPtr<IDirect3DRMMeshBuilder3> builder;
  {
    ComPtr<IDirect3DRMVisualArray> visuals;
    ASSERT_EQ(f->GetVisualArray(visuals.ReleaseAndGetAddressOf()), D3DRM_OK);
    ComPtr<IDirect3DRMVisual> v;
    ASSERT_EQ(visuals->GetElement(0, v.ReleaseAndGetAddressOf()), D3DRM_OK);
    ASSERT_EQ(v.As(IID_IDirect3DRMMeshBuilder3, builder), S_OK);
  }
  ASSERT_EQ(builder->SetQuality(D3DRMRENDER_UNLITFLAT), D3DRM_OK);
  EXPECT_EQ(Draw().At(kMid, kMid), 0x00c000u);
  // The device lowers the fill: wireframe leaves the face centre empty.
  ASSERT_EQ(device->SetQuality(D3DRMRENDER_WIREFRAME), D3DRM_OK);
  EXPECT_EQ(Draw().At(kMid, kMid), 0u);
}

TEST_F(RenderTest, FacesOfOneColourKeepItWhateverTheFrameColour) {
  // Gouraud-shaded faces that all share one colour: the device may draw them
  // with that colour as the draw's colour, but the picture is the faces'.
  ComPtr<IDirect3DRMFrame3> f = NewFrame(scene.Get());
  ASSERT_EQ(f->SetPosition(scene.Get(), 0, 0, 5), D3DRM_OK);
  ComPtr<IDirect3DRMMeshBuilder3> cube = NewCube(1, 0xff00c000);
  ASSERT_EQ(cube->SetQuality(D3DRMSHADE_GOURAUD | D3DRMLIGHT_OFF | D3DRMFILL_SOLID), D3DRM_OK);
  ASSERT_EQ(f->AddVisual(cube.Get()), D3DRM_OK);
  EXPECT_EQ(Draw().At(kMid, kMid), 0x00c000u);
  // The frame's colour, even a translucent one, does not reach mesh colours...
  ASSERT_EQ(f->SetColor(0x80ff0000), D3DRM_OK);
  ASSERT_EQ(device->SetRenderMode(D3DRMRENDERMODE_BLENDEDTRANSPARENCY), D3DRM_OK);
  EXPECT_EQ(Draw().At(kMid, kMid), 0x00c000u);
  // ...until the frame says its colour wins.
  ASSERT_EQ(f->SetMaterialMode(D3DRMMATERIAL_FROMFRAME), D3DRM_OK);
  const std::uint32_t blended = Draw().At(kMid, kMid);
  EXPECT_GT(Channel(blended, 16), 100);
  EXPECT_EQ(Channel(blended, 8), 0);
  // Back to the mesh's colour, now changed: the cached conversion follows.
  ASSERT_EQ(f->SetMaterialMode(D3DRMMATERIAL_FROMMESH), D3DRM_OK);
  ASSERT_EQ(cube->SetColor(0xff0000c0), D3DRM_OK);
  EXPECT_EQ(Draw().At(kMid, kMid), 0x0000c0u);
}

TEST_F(RenderTest, CullModeDecidesWhichWindingIsDrawn) {
  ComPtr<IDirect3DRMMeshBuilder3> b;
  ASSERT_EQ(root->CreateMeshBuilder(b.ReleaseAndGetAddressOf()), D3DRM_OK);
  const D3DVECTOR v[3] = {{-1, -1, 5}, {0, 1, 5}, {1, -1, 5}};  // clockwise seen from the camera
  const DWORD face[] = {3, 0, 1, 2, 0};
  ASSERT_EQ(b->AddFaces(3, v, 0, nullptr, face, nullptr), D3DRM_OK);
  ASSERT_EQ(b->SetQuality(D3DRMRENDER_UNLITFLAT), D3DRM_OK);
  ASSERT_EQ(scene->AddVisual(b.Get()), D3DRM_OK);
  EXPECT_EQ(Draw().At(kMid, kMid), 0xffffffu);
  ASSERT_EQ(device->RenderStateChange(D3DRENDERSTATE_CULLMODE, D3DCULL_CW, 0), D3DRM_OK);
  EXPECT_EQ(Draw().At(kMid, kMid), 0u);
  ASSERT_EQ(device->RenderStateChange(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE, 0), D3DRM_OK);
  EXPECT_EQ(Draw().At(kMid, kMid), 0xffffffu);
  EXPECT_EQ(device->RenderStateChange(D3DRENDERSTATE_CULLMODE, 7, 0), D3DRMERR_BADVALUE);
  EXPECT_EQ(device->RenderStateChange(5, D3DCULL_CW, 0), D3DRMERR_BADVALUE);
  EXPECT_EQ(Draw().At(kMid, kMid), 0xffffffu);  // still none
}

TEST_F(RenderTest, FogAndBackgroundImageReachThePicture) {
  AddWhiteLights();
  PlaceCube(scene.Get(), 0, 0, 5, 1, 0xffff0000);
  ASSERT_EQ(scene->SetSceneFogEnable(TRUE), D3DRM_OK);
  ASSERT_EQ(scene->SetSceneFogColor(0xff00ff00), D3DRM_OK);
  ASSERT_EQ(scene->SetSceneFogParams(1, 6, 1), D3DRM_OK);
  // Depth 4 on the front face: 2/5 of the red stays.
  std::uint32_t c = Draw().At(kMid, kMid);
  EXPECT_NEAR(Channel(c, 16), 102, 6);
  EXPECT_NEAR(Channel(c, 8), 153, 6);

  kv::image::Image image;
  image.width = image.height = 2;
  image.pixels = {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff};
  ComPtr<IDirect3DRMTexture3> texture;
  ASSERT_EQ(root->CreateTextureFromImage(image, texture.ReleaseAndGetAddressOf()), D3DRM_OK);
  ASSERT_EQ(scene->SetSceneBackgroundImage(texture.Get()), D3DRM_OK);
  kv::ddraw::PixelImage picture = Draw();
  EXPECT_EQ(picture.At(2, 2), 0xff0000u);
  EXPECT_EQ(picture.At(kSize - 3, 2), 0x00ff00u);
  EXPECT_EQ(picture.At(2, kSize - 3), 0x0000ffu);
  EXPECT_EQ(picture.At(kSize - 3, kSize - 3), 0xffffffu);
}

TEST_F(RenderTest, DeviceSettings) {
  EXPECT_EQ(device->GetQuality(), D3DRMRENDER_FLAT);
  EXPECT_EQ(device->GetWidth(), static_cast<DWORD>(kSize));
  EXPECT_EQ(device->GetHeight(), static_cast<DWORD>(kSize));
  EXPECT_EQ(device->SetQuality(0x1234), D3DRMERR_BADVALUE);
  EXPECT_EQ(device->SetQuality(D3DRMSHADE_FLAT | D3DRMLIGHT_ON | 0x100), D3DRMERR_BADVALUE);
  EXPECT_EQ(device->GetQuality(), D3DRMRENDER_FLAT);
  EXPECT_EQ(device->SetTextureQuality(D3DRMTEXTURE_LINEARMIPLINEAR), D3DRM_OK);
  EXPECT_EQ(device->GetTextureQuality(), D3DRMTEXTURE_LINEARMIPLINEAR);
  EXPECT_EQ(device->SetTextureQuality(6), D3DRMERR_BADVALUE);
  EXPECT_EQ(device->SetDither(FALSE), D3DRM_OK);
  EXPECT_EQ(device->GetDither(), FALSE);
  EXPECT_EQ(device->SetRenderMode(D3DRMRENDERMODE_BLENDEDTRANSPARENCY | D3DRMRENDERMODE_SORTEDTRANSPARENCY), D3DRM_OK);
  EXPECT_EQ(device->GetRenderMode(), 3u);
  EXPECT_EQ(device->SetRenderMode(0x400), D3DRMERR_BADVALUE);
  EXPECT_EQ(device->SetBufferCount(2), D3DRM_OK);
  EXPECT_EQ(device->GetBufferCount(), 2u);
  EXPECT_EQ(device->SetBufferCount(0), D3DRMERR_BADVALUE);
  ComPtr<IDirect3DRMWinDevice> win;
  ASSERT_EQ(device.As(IID_IDirect3DRMWinDevice, win), S_OK);
  EXPECT_EQ(win->HandlePaint(nullptr), D3DRM_OK);
  ComPtr<IDirect3DRMDevice3> again;
  ASSERT_EQ(win.As(IID_IDirect3DRMDevice3, again), S_OK);
  EXPECT_EQ(again.Get(), device.Get());
  ComPtr<IDirect3DRMDevice3> none;
  EXPECT_EQ(root->CreateDeviceFromD3D(d3d2.Get(), nullptr, none.ReleaseAndGetAddressOf()), D3DRMERR_BADVALUE);
  EXPECT_EQ(none.Get(), nullptr);
}

// Rendering on one thread while another moves frames and changes settings:
// the engine lock keeps both consistent (run under the thread sanitizer).
TEST_F(RenderTest, RenderWhileAnotherThreadEditsTheScene) {
  AddWhiteLights();
  ComPtr<IDirect3DRMFrame3> cube = PlaceCube(scene.Get(), 0, 0, 5, 1, 0xff808080);
  ASSERT_EQ(cube->SetRotation(scene.Get(), 0, 1, 0, 0.1f), D3DRM_OK);
  std::thread renderer([&] {
    for (int i = 0; i < 30; ++i) {
      EXPECT_EQ(viewport->Clear(D3DRMCLEAR_ALL), D3DRM_OK);
      EXPECT_EQ(viewport->Render(scene.Get()), D3DRM_OK);
    }
  });
  for (int i = 0; i < 300; ++i) {
    scene->Move(1.0f);
    device->SetQuality(i % 2 ? D3DRMRENDER_GOURAUD : D3DRMRENDER_FLAT);
    cube->SetPosition(scene.Get(), static_cast<float>(i % 3) * 0.1f, 0, 5);
  }
  renderer.join();
}

}  // namespace
}  // namespace kvtest
