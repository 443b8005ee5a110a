// The object's texture and decal: image files (also by a Windows style
// name) onto the mesh builder, missing and corrupt files, reloading, the
// settings reaching the engine texture, Assign and writing the Decal.
#include <cstdio>
#include <fstream>

#include "AppearanceTestSupport.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/objects/Kv3dtexture.h"

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

TEST_F(Texture, ImageFilesLoadOntoTheBuilderAndEverySettingReloads) {
  for (const char* file : {"picture.png", "picture.ppm"}) {
    SCOPED_TRACE(file);
    texture->SetFileName(Picture(file));
    ASSERT_NE(texture->GetIDirect3DTexture(), nullptr);
    EXPECT_EQ(OnBuilder(), texture->GetIDirect3DTexture());
  }
  std::string windowsName = Picture("picture.bmp");
  for (char& c : windowsName) c = c == '/' ? '\\' : c;
  texture->SetFileName(windowsName);
  ComPtr<IDirect3DRMTexture3> first(texture->GetIDirect3DTexture());
  ASSERT_TRUE(first);
  texture->SetFileName(windowsName);  // the same name loads again
  EXPECT_NE(texture->GetIDirect3DTexture(), first.Get());
  first = ComPtr<IDirect3DRMTexture3>(texture->GetIDirect3DTexture());
  texture->SetUseMipMap(true);  // and so does a new mipmap setting
  EXPECT_NE(texture->GetIDirect3DTexture(), first.Get());
  EXPECT_EQ(OnBuilder(), texture->GetIDirect3DTexture());
}

TEST_F(Texture, MissingOrCorruptFilesLeaveNoTextureAndTheObjectWhole) {
  texture->SetUseMipMap(true);  // mipmaps are asked for only when an image was made
  texture->SetFileName(Picture("picture.bmp"));
  ASSERT_NE(OnBuilder(), nullptr);
  const std::string corrupt = ::testing::TempDir() + "appear_corrupt.bmp";
  std::ofstream(corrupt, std::ios::binary) << "BM this is not a bitmap";
  kv::image::test::BmpLayout sevenBits;
  sevenBits.bitCount = 7;
  const kv::image::test::Bytes badBits = kv::image::test::BuildBmp(sevenBits);
  const std::string badBitCount = ::testing::TempDir() + "appear_bad_bit_count.bmp";
  std::ofstream(badBitCount, std::ios::binary)
      .write(reinterpret_cast<const char*>(badBits.data()), static_cast<std::streamsize>(badBits.size()));
  for (const std::string& name : {::testing::TempDir() + "none-such.bmp", badBitCount, corrupt}) {
    SCOPED_TRACE(name);
    ClearLastError();
    texture->SetFileName(name);
    EXPECT_EQ(texture->GetIDirect3DTexture(), nullptr);
    EXPECT_EQ(OnBuilder(), nullptr);
    EXPECT_EQ(texture->FileName(), name);
    EXPECT_NE(LastErrorText().find("texture file"), std::string::npos) << LastErrorText();
    EXPECT_NE(Builder(), nullptr);
  }
  std::remove(corrupt.c_str());
  std::remove(badBitCount.c_str());
}

TEST_F(Texture, CountsAndDecalSettingsReachTheEngineTextureAndSurviveAReload) {
  texture->SetFileName(Picture("picture.bmp"));
  texture->SetColors(64);
  EXPECT_FALSE(texture->SetColors(-1));
  TKV3DDecal* decal = texture->Decal();
  decal->SetTransparentColor(0x00FF00);
  decal->SetTransparent(true);
  decal->SetWidth(2.5f);
  decal->SetScale(false);
  texture->SetFileName(texture->FileName());
  IDirect3DRMTexture3* engine = texture->GetIDirect3DTexture();
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(engine->GetColors(), 64u);
  EXPECT_EQ(engine->GetDecalTransparentColor(), 0xFF00FF00u);
  EXPECT_TRUE(engine->GetDecalTransparency());
  EXPECT_EQ(engine->GetDecalScale(), 0u);
  float width = 0, height = 0;
  engine->GetDecalSize(&width, &height);
  EXPECT_EQ(width, 2.5f);
  EXPECT_EQ(height, 1.0f);
}

TEST_F(Texture, AssignCopiesAllButMipMapsAndWritingTheDecalCopiesItsSettings) {
  TKV3DTexture source(nullptr);
  source.SetShades(2);
  source.SetUseMipMap(true);
  TKV3DDecal* d = source.Decal();
  d->SetScale(false);
  d->SetHeight(5);
  d->SetOrginY(7);
  d->SetTransparentColor(0x123456);
  source.SetFileName(Picture("picture.bmp"));
  object->SetTexture(&source);
  EXPECT_FALSE(texture->UseMipMap());
  EXPECT_EQ(texture->GetShades(), 2u);  // read back from the newly loaded image
  EXPECT_EQ(texture->Decal()->OrginY(), 7);

  TKV3DTexture plain(nullptr);
  ASSERT_TRUE(plain.SetDecal(d));
  const TKV3DDecal* copy = plain.Decal();
  EXPECT_EQ(copy->Scale(), false);
  EXPECT_EQ(copy->Height(), 5.0f);
  EXPECT_EQ(copy->OrginY(), 7);
  EXPECT_EQ(copy->TransparentColor(), 0x123456u);
  EXPECT_FALSE(plain.SetDecal(nullptr));
}

}  // namespace
