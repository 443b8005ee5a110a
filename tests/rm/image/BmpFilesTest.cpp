// The BMP reader against real files: bmpsuite (good, questionable, bad) and
// header variants from other projects.
#include "ImageTestSupport.h"

namespace kv::image::test {
namespace {

const std::filesystem::path kBmp = TestdataDir() / "bmp";

TEST(BmpFiles, EveryGoodFileLoads) {
  KV_REQUIRE_SHARED_FILE("bmp");
  for (const char* folder : {"g", "misc"}) {
    for (const auto& path : FilesIn(kBmp / folder)) {
      SCOPED_TRACE(path.filename().string());
      const Image image = LoadOrFail(path);
      EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width) * image.height);
    }
  }
  const Image core = LoadOrFail(kBmp / "misc/Core_1_Bit.bmp");  // OS/2 1.x, odd width
  EXPECT_EQ(core.width, 435);
  EXPECT_EQ(core.height, 353);
}

// bmpsuite draws one picture in every format. Palettised files share one
// 252-colour palette, true-colour files the 24-bit colours; narrower channels
// are compared with the rounding their widths allow.
TEST(BmpFiles, SuiteFormatsShowTheSamePicture) {
  KV_REQUIRE_SHARED_FILE("bmp");
  const Image trueColour = LoadOrFail(kBmp / "g/rgb24.bmp");
  const Image palettised = LoadOrFail(kBmp / "g/pal8.bmp");
  struct Row { const char* file; const Image& reference; int tolerance; };
  const Row rows[] = {
      {"g/pal8topdown.bmp", palettised, 0},     {"g/pal8v4.bmp", palettised, 0},      {"g/pal8os2.bmp", palettised, 0},
      {"q/pal8offs.bmp", palettised, 0},        {"q/pal8os2v2.bmp", palettised, 0},   {"q/pal8os2-hs.bmp", palettised, 0},
      {"q/pal8oversizepal.bmp", palettised, 0}, {"q/rgb24rle24.bmp", palettised, 0},  {"g/rgb32bf.bmp", trueColour, 0},
      {"q/rgb24prof.bmp", trueColour, 0},       {"q/rgb32fakealpha.bmp", trueColour, 0}, {"q/rgb32-111110.bmp", trueColour, 1},
      {"g/rgb16.bmp", trueColour, 8},           {"g/rgb16-565.bmp", trueColour, 8},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    const Image image = LoadOrFail(kBmp / row.file);
    EXPECT_TRUE(SamePicture(image, row.reference, row.tolerance));
    EXPECT_FALSE(image.hasAlpha);
  }
  // 2/3/1-bit channels scale to evenly spaced levels covering 0..255.
  const Image tiny = LoadOrFail(kBmp / "q/rgb16-231.bmp");
  for (std::uint32_t p : tiny.pixels) {
    ASSERT_EQ(((p >> 16) & 255) % 85, 0u);
    ASSERT_TRUE(((p >> 8) & 255) * 7 % 255 <= 3 || ((p >> 8) & 255) * 7 % 255 >= 252) << std::hex << p;
    ASSERT_TRUE((p & 255) == 0 || (p & 255) == 255);
  }
  // The 8-bit palette is a quantised version of the true colours.
  EXPECT_TRUE(SamePicture(palettised, trueColour, 64));
  // The 4-bit images use a 12-colour palette of their own: same picture as each other.
  EXPECT_TRUE(SamePicture(LoadOrFail(kBmp / "g/pal4rle.bmp"), LoadOrFail(kBmp / "g/pal4.bmp"), 0));
  // White-on-black and black-on-white palettes: the same two colours in the same places.
  EXPECT_TRUE(SamePicture(LoadOrFail(kBmp / "g/pal1wb.bmp"), LoadOrFail(kBmp / "g/pal1.bmp"), 0));
}

TEST(BmpFiles, AlphaIsKeptOnlyWhereTheFormatDeclaresIt) {
  KV_REQUIRE_SHARED_FILE("bmp");
  const Image reference = LoadOrFail(kBmp / "g/rgb24.bmp");
  for (const char* file : {"q/rgba32.bmp", "q/rgba32-61754.bmp", "q/rgba16-4444.bmp"}) {
    SCOPED_TRACE(file);
    const Image image = LoadOrFail(kBmp / file);
    ASSERT_TRUE(image.hasAlpha);
    int opaque = 0, clear = 0;
    for (std::uint32_t p : image.pixels) opaque += (p >> 24) == 255, clear += (p >> 24) == 0;
    EXPECT_GT(opaque, 0);
    EXPECT_GT(clear, 0);
    // Where the pixel is opaque the colours are the reference's.
    const std::string name = file;
    const int tolerance = name.find("4444") != std::string::npos ? 17 : name.find("61754") != std::string::npos ? 4 : 0;
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
      if ((image.pixels[i] >> 24) != 255) continue;
      for (int shift = 0; shift < 24; shift += 8) ASSERT_LE(ChannelDiff(image.pixels[i], reference.pixels[i], shift), tolerance) << i;
    }
  }
  // The unused fourth byte of plain 32-bit pixels is not alpha.
  const Image fake = LoadOrFail(kBmp / "q/rgb32fakealpha.bmp");
  EXPECT_FALSE(fake.hasAlpha);
  for (std::uint32_t p : fake.pixels) ASSERT_EQ(p >> 24, 255u);
}

TEST(BmpFiles, HeaderVariantsDecodeTheirKnownColours) {
  KV_REQUIRE_SHARED_FILE("bmp");
  // The 6x6 images hold red, green and blue stripes in every encoding.
  for (const char* file : {"misc/Info_8_Bit_Top_Down.bmp", "misc/Info_R8_G8_B8.bmp", "misc/V3_R5_G6_B5.bmp", "misc/V3_A4_R4_G4_B4.bmp"}) {
    SCOPED_TRACE(file);
    const Image image = LoadOrFail(kBmp / file);
    EXPECT_EQ(image.At(0, 0), 0xFFFF0000u);
    EXPECT_EQ(image.At(3, 3), 0xFF00FF00u);
    EXPECT_EQ(image.At(5, 5), 0xFF0000FFu);
  }
  // 16x16 grey ramps, top-down, with and without a 1-bit alpha.
  const Image v4 = LoadOrFail(kBmp / "misc/V4_R5_G6_B5.bmp");
  const Image v5 = LoadOrFail(kBmp / "misc/V5_A1_R5_G5_B5.bmp");
  EXPECT_TRUE(SamePicture(v4, v5, 8));
  EXPECT_FALSE(v4.hasAlpha);
  EXPECT_TRUE(v5.hasAlpha);
}

TEST(BmpFiles, RleGapsAreTransparent) {
  KV_REQUIRE_SHARED_FILE("bmp");
  const Image solid = LoadOrFail(kBmp / "g/pal4rle.bmp");
  EXPECT_FALSE(solid.hasAlpha);
  for (const char* file : {"q/pal4rletrns.bmp", "q/pal4rlecut.bmp"}) {
    SCOPED_TRACE(file);
    const Image image = LoadOrFail(kBmp / file);
    EXPECT_TRUE(image.hasAlpha);
    const auto gaps = std::count(image.pixels.begin(), image.pixels.end(), 0u);
    EXPECT_GT(gaps, 0);
    EXPECT_LT(gaps, static_cast<long>(image.pixels.size()));
  }
}

TEST(BmpFiles, QuestionableFilesLoadOrFailCleanly) {
  KV_REQUIRE_SHARED_FILE("bmp");
  for (const auto& path : FilesIn(kBmp / "q")) {
    SCOPED_TRACE(path.filename().string());
    Image image;
    const Result r = LoadImageFile(path.string(), image);
    if (r) {
      EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width) * image.height);
    } else {
      EXPECT_FALSE(r.message.empty());
      EXPECT_TRUE(image.pixels.empty());
    }
  }
  Image image;
  EXPECT_EQ(LoadImageFile((kBmp / "q/rgb24jpeg.bmp").string(), image).status, Status::Unsupported);
  EXPECT_EQ(LoadImageFile((kBmp / "q/rgb24png.bmp").string(), image).status, Status::Unsupported);
}

TEST(BmpFiles, BadFilesAreRejected) {
  KV_REQUIRE_SHARED_FILE("bmp");
  for (const auto& path : FilesIn(kBmp / "b")) {
    if (path.filename() == "pal8badindex.bmp") continue;  // decodable: see below
    SCOPED_TRACE(path.filename().string());
    Image image;
    const Result r = LoadImageFile(path.string(), image);
    EXPECT_FALSE(r);
    EXPECT_TRUE(r.status == Status::Corrupt || r.status == Status::TooLarge) << StatusName(r.status);
    EXPECT_FALSE(r.message.empty());
  }
  Image image;
  EXPECT_EQ(LoadImageFile((kBmp / "b/reallybig.bmp").string(), image).status, Status::TooLarge);
}

// Indices past the end of a short palette read as opaque black.
TEST(BmpFiles, OutOfRangePaletteIndicesAreBlack) {
  KV_REQUIRE_SHARED_FILE("bmp");
  const Bytes bytes = ReadBytes(kBmp / "b/pal8badindex.bmp");
  Image image;
  ASSERT_TRUE(DecodeBmp(bytes, image));
  const std::size_t offset = bytes[10] | (bytes[11] << 8), stride = 128;
  int checked = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t index = bytes[offset + stride * (image.height - 1 - y) + x];
      if (index < 101) continue;
      ASSERT_EQ(image.At(x, y), 0xFF000000u) << x << "," << y;
      ++checked;
    }
  }
  EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace kv::image::test
