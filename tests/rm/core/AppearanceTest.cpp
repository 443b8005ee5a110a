// Lights, materials, textures, wraps and shadows: defaults, read-backs, the
// values they refuse, and the coordinates and outlines they compute.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "RmTesting.h"
#include "rm/image/BmpBuilder.h"
#include "korvane3d/rm/EngineLock.h"
#include "korvane3d/rm/Frame.h"
#include "korvane3d/rm/MeshBuilder.h"
#include "korvane3d/rm/SceneRender.h"
#include "korvane3d/rm/Shadow.h"
#include "korvane3d/rm/Texture.h"
#include "korvane3d/rm/image/Image.h"

namespace kv::rm::testing {
namespace {

class Appearance : public ::testing::Test {
 protected:
  ComPtr<IDirect3DRM3> root = MakeRoot();

  ComPtr<IDirect3DRMLight> MakeLight(D3DRMLIGHTTYPE type) {
    ComPtr<IDirect3DRMLight> light;
    EXPECT_EQ(root->CreateLightRGB(type, 1, 1, 1, light.ReleaseAndGetAddressOf()), D3DRM_OK);
    return light;
  }
  ComPtr<IDirect3DRMWrap> MakeWrap(D3DRMWRAPTYPE type, IDirect3DRMFrame3* ref = nullptr, float su = 1, float sv = 1,
                                   float ou = 0, float ov = 0) {
    ComPtr<IDirect3DRMWrap> wrap;
    EXPECT_EQ(root->CreateWrap(type, ref, 0, 0, 0, 0, 0, 1, 0, 1, 0, ou, ov, su, sv, wrap.ReleaseAndGetAddressOf()),
              D3DRM_OK);
    return wrap;
  }
  // One vertex per point (each in a small triangle of its own), normals as given.
  ComPtr<IDirect3DRMMeshBuilder3> PointsBuilder(std::vector<D3DVECTOR> points, D3DVECTOR normal = {0, 0, 1}) {
    auto b = MakeBuilder(root.Get());
    std::vector<DWORD> faces;
    for (DWORD i = 0; i + 2 < points.size() || i == 0; i += 3) {
      while (points.size() < i + 3) points.push_back(points.back());
      faces.insert(faces.end(), {3, i, 0, i + 1, 0, i + 2, 0});
    }
    faces.push_back(0);
    EXPECT_EQ(b->AddFaces(static_cast<DWORD>(points.size()), points.data(), 1, &normal, faces.data(), nullptr),
              D3DRM_OK);
    return b;
  }
  static std::pair<float, float> UV(IDirect3DRMMeshBuilder3* b, DWORD i) {
    float u = -99, v = -99;
    EXPECT_EQ(b->GetTextureCoordinates(i, &u, &v), D3DRM_OK);
    return {u, v};
  }
};

TEST_F(Appearance, LightColoursAndSettings) {
  ComPtr<IDirect3DRMLight> light;
  root->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 0.5f, 0.5f, 0.5f, light.ReleaseAndGetAddressOf());
  EXPECT_EQ(light->GetColor(), 0xff7f7f7fu);
  light->SetColor(0x00c0c0c0);
  EXPECT_EQ(light->GetColor(), 0xffc0c0c0u);
  // Components beyond 1 saturate instead of spilling into other channels.
  root->CreateLightRGB(D3DRMLIGHT_POINT, 255, 255, 255, light.ReleaseAndGetAddressOf());
  EXPECT_EQ(light->GetColor(), 0xffffffffu);
  EXPECT_EQ(light->GetType(), D3DRMLIGHT_POINT);
  EXPECT_EQ(light->GetConstantAttenuation(), 1);
  EXPECT_EQ(light->GetLinearAttenuation(), 0);
  EXPECT_EQ(light->GetQuadraticAttenuation(), 0);
  light->SetType(D3DRMLIGHT_SPOT);
  light->SetUmbra(0.785398f);
  light->SetPenumbra(1.0f);
  light->SetRange(256);
  light->SetLinearAttenuation(0.25f);
  EXPECT_EQ(light->GetType(), D3DRMLIGHT_SPOT);
  EXPECT_FLOAT_EQ(light->GetUmbra(), 0.785398f);
  EXPECT_FLOAT_EQ(light->GetPenumbra(), 1.0f);
  EXPECT_FLOAT_EQ(light->GetRange(), 256);
  EXPECT_FLOAT_EQ(light->GetLinearAttenuation(), 0.25f);
  EXPECT_EQ(light->SetType(static_cast<D3DRMLIGHTTYPE>(9)), D3DRMERR_BADVALUE);
  EXPECT_EQ(light->SetRange(NAN), D3DRMERR_BADVALUE);
  EXPECT_EQ(light->SetRange(-1), D3DRM_OK);  // reaches nothing, but is kept
  EXPECT_EQ(light->GetRange(), -1);
  EXPECT_EQ(light->GetType(), D3DRMLIGHT_SPOT);
  EXPECT_EQ(root->CreateLight(static_cast<D3DRMLIGHTTYPE>(5), 0, light.ReleaseAndGetAddressOf()), D3DRMERR_BADVALUE);
  EXPECT_EQ(light.Get(), nullptr);
}

TEST_F(Appearance, EnableFrameIsAWeakLink) {
  auto light = MakeLight(D3DRMLIGHT_POINT);
  {
    auto frame = MakeFrame(root.Get());
    ASSERT_EQ(light->SetEnableFrame(frame.Get()), D3DRM_OK);
    ComPtr<IDirect3DRMFrame3> got;
    light->GetEnableFrame(got.ReleaseAndGetAddressOf());
    EXPECT_EQ(got.Get(), frame.Get());
  }
  ComPtr<IDirect3DRMFrame3> gone;
  ASSERT_EQ(light->GetEnableFrame(gone.ReleaseAndGetAddressOf()), D3DRM_OK);
  EXPECT_EQ(gone.Get(), nullptr);
  // Frames keep each light once.
  auto frame = MakeFrame(root.Get());
  frame->AddLight(light.Get());
  frame->AddLight(light.Get());
  ComPtr<IDirect3DRMLightArray> lights;
  frame->GetLights(lights.ReleaseAndGetAddressOf());
  ASSERT_EQ(lights->GetSize(), 1u);
  ComPtr<IDirect3DRMLight> element;
  lights->GetElement(0, element.ReleaseAndGetAddressOf());
  EXPECT_EQ(element.Get(), light.Get());
  EXPECT_EQ(lights->GetElement(1, element.ReleaseAndGetAddressOf()), D3DRMERR_BADVALUE);
  EXPECT_EQ(frame->DeleteLight(light.Get()), D3DRM_OK);
  EXPECT_EQ(frame->DeleteLight(light.Get()), D3DRMERR_NOTFOUND);
}

TEST_F(Appearance, MaterialDefaultsAndReadBack) {
  ComPtr<IDirect3DRMMaterial2> material;
  ASSERT_EQ(root->CreateMaterial(5, material.ReleaseAndGetAddressOf()), D3DRM_OK);
  float r, g, b;
  EXPECT_EQ(material->GetPower(), 5);
  material->GetSpecular(&r, &g, &b);
  EXPECT_EQ(r + g + b, 3);
  material->GetEmissive(&r, &g, &b);
  EXPECT_EQ(r + g + b, 0);
  material->SetEmissive(0.1f, 0.2f, 0.3f);
  material->SetAmbient(0.4f, 0.5f, 0.6f);
  material->GetEmissive(&r, &g, &b);
  EXPECT_FLOAT_EQ(b, 0.3f);
  material->GetAmbient(&r, &g, &b);
  EXPECT_FLOAT_EQ(g, 0.5f);
  EXPECT_EQ(material->SetPower(NAN), D3DRMERR_BADVALUE);
  EXPECT_EQ(material->GetPower(), 5);
}

TEST_F(Appearance, TextureSettingsAndMipChain) {
  kv::image::Image image;
  image.width = 4;
  image.height = 2;
  image.pixels = {0xff000000, 0xff0000ff, 0xffffffff, 0xffffffff, 0xff000000, 0xff0000ff, 0xff808080, 0xff808080};
  ComPtr<IDirect3DRMTexture3> texture;
  ASSERT_EQ(root->CreateTextureFromImage(image, texture.ReleaseAndGetAddressOf()), D3DRM_OK);
  EXPECT_EQ(texture->GetColors(), 8u);
  EXPECT_EQ(texture->GetShades(), 16u);
  float w, h;
  LONG x, y;
  texture->GetDecalSize(&w, &h);
  texture->GetDecalOrigin(&x, &y);
  EXPECT_EQ(w + h, 2);
  EXPECT_EQ(x + y, 0);
  EXPECT_EQ(texture->GetDecalScale(), TRUE);
  EXPECT_EQ(texture->GetDecalTransparency(), FALSE);
  texture->SetDecalSize(3, 4);
  texture->SetDecalOrigin(5, 6);
  texture->SetDecalScale(FALSE);
  texture->SetDecalTransparency(TRUE);
  texture->SetDecalTransparentColor(0xff00ff00);
  texture->SetShades(32);
  texture->GetDecalSize(&w, &h);
  texture->GetDecalOrigin(&x, &y);
  EXPECT_EQ(w * 10 + h, 34);
  EXPECT_EQ(x * 10 + y, 56);
  EXPECT_EQ(texture->GetDecalScale(), FALSE);
  EXPECT_EQ(texture->GetDecalTransparency(), TRUE);
  EXPECT_EQ(texture->GetDecalTransparentColor(), 0xff00ff00u);
  EXPECT_EQ(texture->GetShades(), 32u);

  ASSERT_EQ(texture->GenerateMIPMap(0), D3DRM_OK);
  EngineLock lock;
  Texture* t = Texture::From(texture.Get());
  ASSERT_EQ(t->LevelCount(), 3u);  // 4x2, 2x1, 1x1
  EXPECT_EQ(t->Level(1).width, 2);
  EXPECT_EQ(t->Level(1).pixels[0], 0xff000080u);  // (0 + 0xff + 0 + 0xff) / 4 in blue, rounded
  EXPECT_EQ(t->Level(2).width, 1);
  kv::image::Image empty;
  EXPECT_EQ(root->CreateTextureFromImage(empty, texture.ReleaseAndGetAddressOf()), D3DRMERR_BADVALUE);
}

TEST_F(Appearance, LoadTextureFailuresMakeNothing) {
  ComPtr<IDirect3DRMTexture3> texture;
  EXPECT_EQ(root->LoadTexture("/no/such/image.bmp", texture.ReleaseAndGetAddressOf()), D3DRMERR_FILENOTFOUND);
  EXPECT_EQ(texture.Get(), nullptr);
  std::string junk = (std::filesystem::temp_directory_path() / "kv_rm_not_an_image.bmp").string();
  std::ofstream(junk) << "this is not an image";
  EXPECT_EQ(root->LoadTexture(junk.c_str(), texture.ReleaseAndGetAddressOf()), D3DRMERR_BADFILE);
  EXPECT_EQ(texture.Get(), nullptr);
  std::remove(junk.c_str());

  // The same name holding a real picture (a BMP of our own) loads.
  const kv::image::Image picture = kv::image::test::Gradient(3, 2);
  kv::image::test::BmpLayout layout;
  layout.width = 3;
  layout.pixelData = kv::image::test::Bgr24Rows(picture);
  const kv::image::test::Bytes bmp = kv::image::test::BuildBmp(layout);
  std::ofstream(junk, std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  ASSERT_EQ(root->LoadTexture(junk.c_str(), texture.ReleaseAndGetAddressOf()), D3DRM_OK);
  std::remove(junk.c_str());
  DWORD width = 0, height = 0;
  texture->GetSize(&width, &height);
  EXPECT_EQ(width, 3u);
  EXPECT_EQ(height, 2u);
  EngineLock lock;
  EXPECT_EQ(Texture::From(texture.Get())->Level(0).pixels, picture.pixels);
}

// Objects naming one image file: one decoded image, one mip chain, and one
// rasterizer texture per conversion setting, however many textures there are.
TEST_F(Appearance, TexturesFromOneFileShareTheirPixels) {
  const auto dir = std::filesystem::temp_directory_path() / ("kv_rm_shared_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "marble.png").string();
  kv::image::Image image;
  image.width = 16;
  image.height = 8;
  image.pixels.assign(16 * 8, 0xff336699u);
  ASSERT_TRUE(kv::image::SavePng(file, image));
  ComPtr<IDirect3DRMTexture3> a, b, other;
  ASSERT_EQ(root->LoadTexture(file.c_str(), a.ReleaseAndGetAddressOf()), D3DRM_OK);
  ASSERT_EQ(root->LoadTexture(file.c_str(), b.ReleaseAndGetAddressOf()), D3DRM_OK);
  ASSERT_EQ(root->CreateTextureFromImage(image, other.ReleaseAndGetAddressOf()), D3DRM_OK);
  ASSERT_NE(a.Get(), b.Get()) << "each load is its own texture, with its own decal settings";
  a->GenerateMIPMap(0);
  b->GenerateMIPMap(0);
  EngineLock lock;
  Texture* ta = Texture::From(a.Get());
  Texture* tb = Texture::From(b.Get());
  EXPECT_EQ(ta->Image().pixels.data(), tb->Image().pixels.data());
  ASSERT_EQ(ta->LevelCount(), 5u);
  for (std::size_t level = 1; level < ta->LevelCount(); ++level)
    EXPECT_EQ(&ta->Level(level), &tb->Level(level)) << "mip level " << level;

  SceneCache cache;
  const auto converted = cache.TextureFor(ta);
  ASSERT_NE(converted, nullptr);
  EXPECT_EQ(cache.TextureFor(tb), converted);
  SceneCache otherDevice;
  EXPECT_EQ(otherDevice.TextureFor(tb), converted);
  EXPECT_NE(cache.TextureFor(Texture::From(other.Get())), converted) << "same pixels, but not the same image";
  std::filesystem::remove_all(dir);
}

TEST_F(Appearance, FlatCylinderAndSphereWraps) {
  auto b = PointsBuilder({{0.25f, 0.5f, 3}, {0, 1, 0.5f}, {1, 0, 0}, {0, -1, 0}, {-1, 0, 0}, {0, 0, -1}});
  ASSERT_EQ(MakeWrap(D3DRMWRAP_FLAT, nullptr, 2, 1, 0.1f, 0)->Apply(b.Get()), D3DRM_OK);
  EXPECT_FLOAT_EQ(UV(b.Get(), 0).first, 0.4f);
  EXPECT_FLOAT_EQ(UV(b.Get(), 0).second, 0.5f);

  MakeWrap(D3DRMWRAP_CYLINDER)->Apply(b.Get());
  // u runs round the axis from the up vector towards +x; v along the axis.
  EXPECT_NEAR(UV(b.Get(), 1).first, 0.0f, 1e-6f);
  EXPECT_NEAR(UV(b.Get(), 1).second, 0.5f, 1e-6f);
  EXPECT_NEAR(UV(b.Get(), 2).first, 0.25f, 1e-6f);
  EXPECT_NEAR(UV(b.Get(), 3).first, 0.5f, 1e-6f);
  EXPECT_NEAR(UV(b.Get(), 4).first, 0.75f, 1e-6f);

  MakeWrap(D3DRMWRAP_SPHERE)->Apply(b.Get());
  EXPECT_NEAR(UV(b.Get(), 2).first, 0.25f, 1e-6f);
  EXPECT_NEAR(UV(b.Get(), 2).second, 0.5f, 1e-6f);  // on the equator
  EXPECT_NEAR(UV(b.Get(), 5).second, 1.0f, 1e-6f);  // the -z pole
}

TEST_F(Appearance, ChromeReflectsTheViewRay) {
  // A vertex straight ahead of the eye, facing it, reflects the ray back
  // along -z: the far pole of the sphere map.
  auto b = PointsBuilder({{0, 0, 5}}, {0, 0, -1});
  ASSERT_EQ(MakeWrap(D3DRMWRAP_CHROME)->Apply(b.Get()), D3DRM_OK);
  EXPECT_NEAR(UV(b.Get(), 0).second, 1.0f, 1e-6f);
}

TEST_F(Appearance, ApplyRelativeFollowsTheObject) {
  auto frame = MakeFrame(root.Get());
  frame->SetPosition(nullptr, 10, 0, 0);
  auto ref = MakeFrame(root.Get());
  ref->SetPosition(nullptr, 4, 0, 0);
  auto b = PointsBuilder({{0.25f, 0.5f, 0}});
  ASSERT_EQ(MakeWrap(D3DRMWRAP_FLAT)->ApplyRelative(frame.Get(), b.Get()), D3DRM_OK);
  EXPECT_FLOAT_EQ(UV(b.Get(), 0).first, 10.25f);
  ASSERT_EQ(MakeWrap(D3DRMWRAP_FLAT, ref.Get())->ApplyRelative(frame.Get(), b.Get()), D3DRM_OK);
  EXPECT_FLOAT_EQ(UV(b.Get(), 0).first, 6.25f);
}

TEST_F(Appearance, WrapsRefuseDegenerateAxes) {
  ComPtr<IDirect3DRMWrap> wrap;
  EXPECT_EQ(root->CreateWrap(D3DRMWRAP_FLAT, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1,
                             wrap.ReleaseAndGetAddressOf()),
            D3DRMERR_BADVALUE);
  EXPECT_EQ(root->CreateWrap(D3DRMWRAP_SPHERE, nullptr, 0, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 1, 1,
                             wrap.ReleaseAndGetAddressOf()),
            D3DRMERR_BADVALUE);
  EXPECT_EQ(root->CreateWrap(static_cast<D3DRMWRAPTYPE>(6), nullptr, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1, 1,
                             wrap.ReleaseAndGetAddressOf()),
            D3DRMERR_BADVALUE);
  EXPECT_EQ(wrap.Get(), nullptr);
  auto frame = MakeFrame(root.Get());
  EXPECT_EQ(MakeWrap(D3DRMWRAP_FLAT)->Apply(frame.Get()), D3DRMERR_BADOBJECT);
}

TEST_F(Appearance, ShadowsFlattenTheCasterFromTheLight) {
  const D3DVECTOR v[] = {{1, 5, 0}, {2, 5, 0}, {1, 5, 1}};
  const DWORD faces[] = {3, 0, 1, 2, 0};
  auto caster = MakeBuilder(root.Get());
  caster->AddFaces(3, v, 0, nullptr, faces, nullptr);
  auto point = MakeLight(D3DRMLIGHT_POINT);
  ComPtr<IDirect3DRMShadow2> shadow;
  ASSERT_EQ(root->CreateShadow(caster.Get(), point.Get(), 0, 0, 0, 0, 1, 0, shadow.ReleaseAndGetAddressOf()),
            D3DRM_OK);
  auto objectFrame = MakeFrame(root.Get());
  auto lightFrame = MakeFrame(root.Get());
  lightFrame->SetPosition(nullptr, 0, 10, 0);
  EngineLock lock;
  Shadow* s = dynamic_cast<Shadow*>(shadow.Get());
  ShadowGeometry out;
  ASSERT_TRUE(s->Project(Frame::From(objectFrame.Get())->WorldMatrix(), Frame::From(lightFrame.Get())->WorldMatrix(),
                         out));
  ASSERT_EQ(out.FaceCount(), 1u);
  EXPECT_VEC_NEAR(out.positions[0], 2, 0, 0, 1e-5f);
  EXPECT_VEC_NEAR(out.positions[1], 4, 0, 0, 1e-5f);

  // Parallel rays along the light frame's +z.
  auto sun = MakeLight(D3DRMLIGHT_DIRECTIONAL);
  shadow->SetLight(sun.Get(), 0);
  lightFrame->SetOrientation(nullptr, 1, -1, 0, 0, 0, 1);
  ASSERT_TRUE(s->Project(Frame::From(objectFrame.Get())->WorldMatrix(), Frame::From(lightFrame.Get())->WorldMatrix(),
                         out));
  EXPECT_VEC_NEAR(out.positions[0], 6, 0, 0, 1e-4f);
  // The plane is read in the scene's coordinates: raised by 2, the caster
  // throws a longer shadow onto the same floor.
  objectFrame->SetPosition(nullptr, 0, 2, 0);
  ASSERT_TRUE(s->Project(Frame::From(objectFrame.Get())->WorldMatrix(), Frame::From(lightFrame.Get())->WorldMatrix(),
                         out));
  EXPECT_VEC_NEAR(out.positions[0], 8, 0, 0, 1e-4f);

  // A light below the plane, shining away from the caster, casts nothing.
  shadow->SetLight(point.Get(), 0);
  lightFrame->SetPosition(nullptr, 0, 7, 0);
  shadow->SetPlane(0, 8, 0, 0, 1, 0, 0);
  EXPECT_FALSE(s->Project(Mat4::Identity(), Frame::From(lightFrame.Get())->WorldMatrix(), out));
}

TEST_F(Appearance, ShadowSettingsAndRefusals) {
  auto caster = MakeBuilder(root.Get());
  auto light = MakeLight(D3DRMLIGHT_POINT);
  auto frame = MakeFrame(root.Get());
  ComPtr<IDirect3DRMShadow2> shadow;
  EXPECT_EQ(root->CreateShadow(caster.Get(), light.Get(), 0, 0, 0, 0, 0, 0, shadow.ReleaseAndGetAddressOf()),
            D3DRMERR_BADVALUE);
  EXPECT_EQ(root->CreateShadow(nullptr, light.Get(), 0, 0, 0, 0, 1, 0, shadow.ReleaseAndGetAddressOf()),
            D3DRMERR_BADOBJECT);
  EXPECT_EQ(root->CreateShadow(frame.Get(), light.Get(), 0, 0, 0, 0, 1, 0, shadow.ReleaseAndGetAddressOf()),
            D3DRMERR_BADOBJECT);
  ASSERT_EQ(root->CreateShadow(caster.Get(), light.Get(), 0, 0, 0, 0, 1, 0, shadow.ReleaseAndGetAddressOf()),
            D3DRM_OK);
  shadow->SetPlane(1, 2, 3, 0, 0, 0.001f, 0);
  EXPECT_EQ(shadow->SetPlane(1, 2, 3, 0, 0, 0, 0), D3DRMERR_BADVALUE);
  float p[6];
  shadow->GetPlane(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5]);
  EXPECT_EQ(p[2], 3);
  EXPECT_FLOAT_EQ(p[5], 0.001f);
  EXPECT_EQ(shadow->SetOptions(D3DRMSHADOW_TRUEALPHA), D3DRM_OK);
  EXPECT_EQ(shadow->SetOptions(8), D3DRMERR_BADVALUE);
  DWORD options = 0;
  shadow->GetOptions(&options);
  EXPECT_EQ(options, D3DRMSHADOW_TRUEALPHA);
  ComPtr<IDirect3DRMShadow2> old;
  EXPECT_EQ(shadow.As(IID_IDirect3DRMShadow, old), S_OK);
  ASSERT_EQ(frame->AddVisual(shadow.Get()), D3DRM_OK);
}

}  // namespace
}  // namespace kv::rm::testing
