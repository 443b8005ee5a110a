// The object's texture and decal: loading image files (also by a Windows
// style name), missing and corrupt files, reloading, the settings that reach
// the engine texture, Assign and writing the Decal property.
#include <cstdio>
#include <fstream>

#include "AppearanceTestSupport.h"
#include "host/Error.h"
#include "objects/Kv3dmaterial.h"
#include "objects/Kv3dtexture.h"

using namespace kv;

namespace {

class Texture : public kvtest::AppearanceTest {
 protected:
  void SetUp() override {
    AppearanceTest::SetUp();
    SetSquare();
    texture = object->Texture();
  }
  IDirect3DRMTexture3* OnBuilder() const {
    ComPtr<IDirect3DRMTexture3> t;
    Builder()->GetTexture(t.ReleaseAndGetAddressOf());
    return t.Get();  // still held by the texture component (or null)
  }
  TKV3DTexture* texture = nullptr;
};

TEST_F(Texture, ANewTextureHasTheEngineCountsAndNoImage) {
  EXPECT_EQ(texture->GetColors(), 8);
  EXPECT_EQ(texture->GetShades(), 16u);
  EXPECT_EQ(texture->GetIDirect3DTexture(), nullptr);
  EXPECT_EQ(OnBuilder(), nullptr);
}

TEST_F(Texture, ImageFilesLoadOntoTheMeshBuilderAlsoByAWindowsStyleName) {
  for (const char* file : {"bmp/g/rgb24.bmp", "bmp/g/pal8.bmp", "png/pngsuite/basn2c08.png", "ppm/hopper.ppm"}) {
    SCOPED_TRACE(file);
    texture->SetFileName(TestData(file));
    ASSERT_NE(texture->GetIDirect3DTexture(), nullptr);
    EXPECT_EQ(OnBuilder(), texture->GetIDirect3DTexture());
  }
  std::string windowsName = TestData("bmp/g/rgb24.bmp");
  for (char& c : windowsName) c = c == '/' ? '\\' : c;
  texture->SetFileName(windowsName);
  EXPECT_NE(texture->GetIDirect3DTexture(), nullptr);
  EXPECT_EQ(texture->FileName(), windowsName);
  DWORD width = 0, height = 0;
  texture->GetIDirect3DTexture()->GetSize(&width, &height);
  EXPECT_EQ(width, 127u);
  EXPECT_EQ(height, 64u);
}

TEST_F(Texture, MissingOrCorruptFilesLeaveNoTextureAndTheObjectWhole) {
  texture->SetFileName(TestData("bmp/g/rgb24.bmp"));
  ASSERT_NE(OnBuilder(), nullptr);
  const std::string corrupt = ::testing::TempDir() + "appear_corrupt.bmp";
  std::ofstream(corrupt, std::ios::binary) << "BM this is not a bitmap";
  for (const std::string& name : {TestData("bmp/none-such.bmp"), TestData("bmp/b/badbitcount.bmp"), corrupt,
                                  TestData("ppm/negative_size.ppm")}) {
    SCOPED_TRACE(name);
    ClearLastError();
    texture->SetFileName(name);
    EXPECT_EQ(texture->GetIDirect3DTexture(), nullptr);
    EXPECT_EQ(OnBuilder(), nullptr);
    EXPECT_EQ(texture->FileName(), name);
    EXPECT_NE(LastErrorText().find("texture file"), std::string::npos) << LastErrorText();
    ASSERT_NE(Builder(), nullptr);
    EXPECT_NE(object->Material()->GetIDirect3DMaterial(), nullptr);
  }
  std::remove(corrupt.c_str());
  // Mipmaps are asked for only when a texture was made.
  texture->SetUseMipMap(true);
  EXPECT_EQ(texture->GetIDirect3DTexture(), nullptr);
}

TEST_F(Texture, TheSameNameReloadsAndSwitchingMipMapsReloads) {
  const std::string name = TestData("bmp/g/rgb24.bmp");
  texture->SetFileName(name);
  ComPtr<IDirect3DRMTexture3> first(texture->GetIDirect3DTexture());
  texture->SetFileName(name);
  ComPtr<IDirect3DRMTexture3> second(texture->GetIDirect3DTexture());
  EXPECT_NE(first.Get(), second.Get());
  texture->SetUseMipMap(false);
  EXPECT_EQ(texture->GetIDirect3DTexture(), second.Get());
  texture->SetUseMipMap(true);
  EXPECT_NE(texture->GetIDirect3DTexture(), second.Get());
  EXPECT_EQ(OnBuilder(), texture->GetIDirect3DTexture());
}

TEST_F(Texture, CountsAndDecalSettingsReachTheEngineTexture) {
  texture->SetFileName(TestData("bmp/g/rgb24.bmp"));
  IDirect3DRMTexture3* engine = texture->GetIDirect3DTexture();
  ASSERT_NE(engine, nullptr);
  texture->SetColors(64);
  texture->SetShades(4);
  EXPECT_EQ(engine->GetColors(), 64u);
  EXPECT_EQ(engine->GetShades(), 4u);
  EXPECT_FALSE(texture->SetColors(-1));
  EXPECT_EQ(texture->GetColors(), 64);

  TKV3DDecal* decal = texture->Decal();
  decal->SetTransparentColor(0x00FF00);
  decal->SetTransparent(true);
  decal->SetWidth(2.5f);
  decal->SetOrginX(3);
  decal->SetScale(false);
  EXPECT_EQ(engine->GetDecalTransparentColor(), 0xFF00FF00u);
  EXPECT_TRUE(engine->GetDecalTransparency());
  EXPECT_EQ(engine->GetDecalScale(), 0u);
  float width = 0, height = 0;
  engine->GetDecalSize(&width, &height);
  EXPECT_FLOAT_EQ(width, 2.5f);
  EXPECT_FLOAT_EQ(height, 1.0f);
  LONG x = 0, y = 0;
  engine->GetDecalOrigin(&x, &y);
  EXPECT_EQ(x, 3);
  // The settings survive a reload.
  texture->SetFileName(texture->FileName());
  EXPECT_EQ(texture->GetIDirect3DTexture()->GetDecalTransparentColor(), 0xFF00FF00u);
  EXPECT_EQ(texture->GetIDirect3DTexture()->GetColors(), 64u);
}

TEST_F(Texture, AssignCopiesAllButMipMapsAndWritingTheDecalCopiesItsSettings) {
  TKV3DTexture source(nullptr);
  source.SetShades(2);
  source.SetColors(32);
  source.SetUseMipMap(true);
  TKV3DDecal* d = source.Decal();
  d->SetScale(false);
  d->SetWidth(4);
  d->SetHeight(5);
  d->SetOrginX(6);
  d->SetOrginY(7);
  d->SetTransparent(true);
  d->SetTransparentColor(0x123456);
  source.SetFileName(TestData("bmp/g/rgb24.bmp"));
  ASSERT_NE(source.GetIDirect3DTexture(), nullptr);

  object->SetTexture(&source);
  EXPECT_FALSE(texture->UseMipMap());
  EXPECT_EQ(texture->GetShades(), 2u);
  EXPECT_EQ(texture->GetColors(), 32);
  EXPECT_EQ(texture->FileName(), source.FileName());
  EXPECT_NE(texture->GetIDirect3DTexture(), nullptr);
  EXPECT_NE(texture->GetIDirect3DTexture(), source.GetIDirect3DTexture());

  TKV3DTexture plain(nullptr);
  ASSERT_TRUE(plain.SetDecal(d));
  const TKV3DDecal* copy = plain.Decal();
  EXPECT_EQ(copy->Scale(), false);
  EXPECT_EQ(copy->Width(), 4.0f);
  EXPECT_EQ(copy->Height(), 5.0f);
  EXPECT_EQ(copy->OrginX(), 6);
  EXPECT_EQ(copy->OrginY(), 7);
  EXPECT_EQ(copy->Transparent(), true);
  EXPECT_EQ(copy->TransparentColor(), 0x123456u);
  EXPECT_FALSE(plain.SetDecal(nullptr));
}

TEST_F(Texture, AdoptingAnotherEngineTextureCopiesItsSettings) {
  texture->SetFileName(TestData("bmp/g/rgb24.bmp"));
  ComPtr<IDirect3DRMTexture3> other;
  ASSERT_EQ(SharedD3DRM3()->LoadTexture(TestData("bmp/g/pal8.bmp").c_str(), other.ReleaseAndGetAddressOf()), D3DRM_OK);
  other->SetShades(3);
  other->SetDecalOrigin(5, 9);
  other->SetDecalSize(7, 8);
  other->SetDecalTransparentColor(0xFF0000FF);  // blue
  texture->SetIDirect3DTexture(other.Get());
  EXPECT_NE(texture->GetIDirect3DTexture(), other.Get());
  EXPECT_EQ(texture->GetShades(), 3u);
  EXPECT_EQ(texture->Decal()->OrginY(), 9);
  EXPECT_EQ(texture->Decal()->Height(), 8.0f);
  EXPECT_EQ(texture->Decal()->TransparentColor(), 0xFF0000u);
  EXPECT_EQ(texture->GetIDirect3DTexture()->GetDecalTransparentColor(), 0xFF0000FFu);
}

}  // namespace
