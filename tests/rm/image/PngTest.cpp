// PNG reading (PngSuite, hand-damaged files) and writing (round trips).
#include "ImageTestSupport.h"

#include <zlib.h>

#include <unistd.h>

#include "support/FileFaults.h"

namespace kv::image::test {
namespace {

const std::filesystem::path kSuite = TestdataDir() / "png" / "pngsuite";

TEST(PngFiles, EveryValidSuiteFileLoads) {
  KV_REQUIRE_SHARED_FILE("png/pngsuite");
  int loaded = 0;
  for (const auto& path : FilesIn(kSuite)) {
    const std::string name = path.filename().string();
    if (name[0] == 'x') continue;
    SCOPED_TRACE(name);
    const Image image = LoadOrFail(path);
    // sNN files are NxN; the rest are 32x32 apart from the cd* ones.
    if (name[0] == 's' && name[1] != 'x') {
      const int side = std::stoi(name.substr(1, 2));
      EXPECT_EQ(image.width, side);
      EXPECT_EQ(image.height, side);
    }
    const bool alphaByName = name[4] == '4' || name[4] == '6' || name[0] == 't';
    EXPECT_EQ(image.hasAlpha, alphaByName && name != "tp0n0g08.png" && name != "tp0n3p08.png");
    ++loaded;
  }
  EXPECT_EQ(loaded, 97);
}

// Interlaced and plain files, split data chunks, other compression levels
// and background chunks all decode to the same pixels as their base image.
TEST(PngFiles, VariantsOfOnePictureDecodeIdentically) {
  KV_REQUIRE_SHARED_FILE("png/pngsuite");
  const std::pair<const char*, const char*> pairs[] = {
      {"basn0g01.png", "basi0g01.png"}, {"basn0g04.png", "basi0g04.png"}, {"basn0g16.png", "basi0g16.png"},
      {"basn2c08.png", "basi2c08.png"}, {"basn3p01.png", "basi3p01.png"}, {"basn3p04.png", "basi3p04.png"},
      {"basn3p08.png", "basi3p08.png"}, {"basn4a16.png", "basi4a16.png"}, {"basn6a16.png", "basi6a16.png"},
      {"basn0g16.png", "oi1n0g16.png"}, {"basn0g16.png", "oi2n0g16.png"}, {"basn0g16.png", "oi4n0g16.png"},
      {"oi4n2c16.png", "oi9n2c16.png"}, {"z00n2c08.png", "z06n2c08.png"}, {"basn6a16.png", "bgan6a16.png"},
      {"basn6a16.png", "bgyn6a16.png"}, {"basn4a16.png", "bggn4a16.png"}, {"basn4a16.png", "bgai4a16.png"},
      {"tbbn3p08.png", "tbwn3p08.png"}, {"s03n3p01.png", "s03i3p01.png"}, {"s08n3p02.png", "s08i3p02.png"},
      {"s34n3p04.png", "s34i3p04.png"}, {"s39n3p04.png", "s39i3p04.png"},
  };
  for (const auto& [a, b] : pairs) {
    SCOPED_TRACE(std::string(a) + " vs " + b);
    EXPECT_TRUE(SamePicture(LoadOrFail(kSuite / a), LoadOrFail(kSuite / b), 0, true));
  }
}

TEST(PngFiles, SamplesExpandToEightBitArgb) {
  KV_REQUIRE_SHARED_FILE("png/pngsuite");
  // 1-bit grey: only black and white.
  for (std::uint32_t p : LoadOrFail(kSuite / "basn0g01.png").pixels) ASSERT_TRUE(p == 0xFF000000u || p == 0xFFFFFFFFu);
  // 4-bit grey: levels are multiples of 17, grey (r = g = b).
  for (std::uint32_t p : LoadOrFail(kSuite / "basn0g04.png").pixels) {
    ASSERT_EQ((p & 255) % 17, 0u);
    ASSERT_EQ((p >> 8) & 255, p & 255);
    ASSERT_EQ((p >> 16) & 255, p & 255);
  }
  // Palette transparency: fully clear and opaque pixels side by side.
  const Image keyed = LoadOrFail(kSuite / "tbbn3p08.png");
  EXPECT_EQ(keyed.At(0, 0) >> 24, 0u);
  EXPECT_GT(std::count_if(keyed.pixels.begin(), keyed.pixels.end(), [](std::uint32_t p) { return p >> 24 == 255; }), 0);
  // tRNS on a palette with several alpha levels.
  const Image levels = LoadOrFail(kSuite / "tm3n3p02.png");
  std::vector<std::uint32_t> alphas;
  for (std::uint32_t p : levels.pixels) alphas.push_back(p >> 24);
  std::sort(alphas.begin(), alphas.end());
  EXPECT_GE(std::unique(alphas.begin(), alphas.end()) - alphas.begin(), 3);
}

TEST(PngFiles, CorruptSuiteFilesAreRejected) {
  KV_REQUIRE_SHARED_FILE("png/pngsuite");
  struct Row { const char* file; Status status; };
  const Row rows[] = {
      {"xc1n0g08.png", Status::Corrupt},       {"xcrn0g04.png", Status::UnknownFormat}, {"xd0n2c08.png", Status::Corrupt},
      {"xd9n2c08.png", Status::Corrupt},       {"xhdn0g08.png", Status::Corrupt},       {"xlfn0g04.png", Status::UnknownFormat},
      {"xs1n0g01.png", Status::UnknownFormat}, {"xs4n0g01.png", Status::UnknownFormat},
  };
  for (const Row& row : rows) {
    Image image;
    const Result r = LoadImageFile((kSuite / row.file).string(), image);
    EXPECT_EQ(r.status, row.status) << row.file << ": " << r.message;
    EXPECT_TRUE(image.pixels.empty());
  }
}

// --- damaged copies of a valid file --------------------------------------

Bytes SmallPng() {
  Bytes encoded;
  EXPECT_TRUE(EncodePng(Gradient(5, 4), encoded));
  return encoded;
}

void PutBe32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (24 - 8 * i)) & 255;
}

// A PNG whose IHDR claims width x height, with a valid checksum.
Bytes PngClaiming(std::uint32_t width, std::uint32_t height) {
  Bytes b = SmallPng();
  PutBe32(b, 16, width);
  PutBe32(b, 20, height);
  PutBe32(b, 29, static_cast<std::uint32_t>(crc32(0, b.data() + 12, 17)));
  return b;
}

TEST(PngMalformed, EveryTruncationIsRejected) {
  const Bytes whole = SmallPng();
  Image image;
  ASSERT_TRUE(DecodePng(whole, image));
  for (std::size_t size = 0; size < whole.size(); ++size) {
    Image untouched = Gradient(1, 1);
    const Result r = DecodePng(std::span(whole).first(size), untouched);
    EXPECT_EQ(r.status, size < 8 ? Status::UnknownFormat : Status::Corrupt) << "cut at " << size;
    EXPECT_EQ(untouched.pixels, Gradient(1, 1).pixels);
  }
}

TEST(PngMalformed, ChecksumAndSizeErrorsAreRejected) {
  const Bytes whole = SmallPng();
  Image image;
  // Any flipped bit in a chunk body breaks its CRC.
  for (std::size_t at : {std::size_t{19}, std::size_t{40}, whole.size() - 14}) {
    Bytes damaged = whole;
    damaged[at] ^= 0x10;
    EXPECT_EQ(DecodePng(damaged, image).status, Status::Corrupt) << "byte " << at;
  }
  EXPECT_EQ(DecodePng(PngClaiming(60000, 60000), image).status, Status::TooLarge);
  EXPECT_EQ(DecodePng(PngClaiming(16384, 16384), image).status, Status::TooLarge);
  // Within the limits, but far more pixels than the data can inflate to.
  EXPECT_EQ(DecodePng(PngClaiming(16000, 4000), image).status, Status::Corrupt);
  EXPECT_EQ(DecodePng(PngClaiming(0, 4), image).status, Status::Corrupt);
  EXPECT_TRUE(image.pixels.empty());
}

// Found by fuzzing: a 2 GB tEXt length in a small file made libpng allocate
// the claimed size before reading. Text chunks are now skipped unread, and no
// chunk may claim more than the file holds.
TEST(PngMalformed, HugeAncillaryChunkLengthsAreHarmless) {
  const Bytes whole = SmallPng();
  for (const char* type : {"tEXt", "zTXt", "iCCP", "abCd"}) {
    Bytes damaged(whole.begin(), whole.begin() + 33);  // signature and IHDR
    const Bytes chunk = {0x79, 0x00, 0x00, 0x25, static_cast<std::uint8_t>(type[0]), static_cast<std::uint8_t>(type[1]),
                         static_cast<std::uint8_t>(type[2]), static_cast<std::uint8_t>(type[3]), 'k', 'e', 'y', 0};
    damaged.insert(damaged.end(), chunk.begin(), chunk.end());
    damaged.insert(damaged.end(), whole.begin() + 33, whole.end());
    Image image;
    EXPECT_EQ(DecodePng(damaged, image).status, Status::Corrupt) << type;
  }
}

// --- writing ---------------------------------------------------------------

TEST(PngWrite, RoundTripKeepsEveryPixel) {
  for (const auto& [w, h] : {std::pair{1, 1}, {3, 7}, {64, 33}}) {
    const Image source = Gradient(w, h, true);
    Bytes rgba, rgb;
    ASSERT_TRUE(EncodePng(source, rgba, true));
    ASSERT_TRUE(EncodePng(source, rgb, false));
    Image withAlpha, opaque;
    ASSERT_TRUE(DecodePng(rgba, withAlpha));
    ASSERT_TRUE(DecodePng(rgb, opaque));
    EXPECT_TRUE(withAlpha.hasAlpha);
    EXPECT_FALSE(opaque.hasAlpha);
    EXPECT_EQ(withAlpha.pixels, source.pixels);
    EXPECT_TRUE(SamePicture(opaque, source, 0));
    for (std::uint32_t p : opaque.pixels) ASSERT_EQ(p >> 24, 255u);
  }
}

TEST(PngWrite, SaveThenLoadFromDisk) {
  const auto dir = std::filesystem::temp_directory_path() / ("kv_png_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const Image source = Gradient(40, 30);
  const auto file = (dir / "out.png").string();
  ASSERT_TRUE(SavePng(file, source));
  Image loaded;
  ASSERT_TRUE(LoadImageFile(file, loaded));
  EXPECT_EQ(loaded.pixels, source.pixels);

  // A file is read as it decodes: one that ends inside its image data fails
  // and leaves the output as it was.
  std::filesystem::resize_file(file, std::filesystem::file_size(file) - 20);
  const Result cut = LoadImageFile(file, loaded);
  EXPECT_EQ(cut.status, Status::Corrupt);
  EXPECT_NE(cut.message.find("out.png"), std::string::npos) << cut.message;
  EXPECT_EQ(loaded.pixels, source.pixels);

  const auto missing = (dir / "no" / "such" / "dir.png").string();
  const Result r = SavePng(missing, source);
  EXPECT_EQ(r.status, Status::FileNotFound);
  EXPECT_NE(r.message.find("dir.png"), std::string::npos);
  std::filesystem::remove_all(dir);
}

// A screenshot over an existing one on a full disk: the old picture stays
// whole (it used to be cut short or removed).
TEST(PngWrite, AFailedSaveKeepsTheOldPicture) {
  const auto dir = std::filesystem::temp_directory_path() / ("kv_png_full_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto file = (dir / "shot.png").string();
  ASSERT_TRUE(SavePng(file, Gradient(16, 16)));
  const Bytes before = ReadBytes(file);
  {
    Image noise = Gradient(200, 200);
    std::uint32_t seed = 12345;
    for (std::uint32_t& p : noise.pixels) p = 0xFF000000u | ((seed = seed * 1664525u + 1013904223u) >> 8);
    kvtest::ScopedDiskFull full(4096);
    const Result r = SavePng(file, noise);
    EXPECT_EQ(r.status, Status::FileNotFound);
    EXPECT_NE(r.message.find("shot.png"), std::string::npos) << r.message;
  }
  EXPECT_TRUE(ReadBytes(file) == before) << "the old picture changed";
  EXPECT_EQ(kvtest::NamesIn(dir), (std::set<std::string>{"shot.png"}));
  std::filesystem::remove_all(dir);
}

TEST(PngWrite, InconsistentImagesAreRefused) {
  Image wrongCount = Gradient(4, 4);
  wrongCount.pixels.pop_back();
  Image empty;
  Image huge;
  huge.width = kMaxSide + 1;
  huge.height = 1;
  Bytes out{1, 2, 3};
  EXPECT_EQ(EncodePng(wrongCount, out).status, Status::Corrupt);
  EXPECT_EQ(EncodePng(empty, out).status, Status::Corrupt);
  EXPECT_EQ(EncodePng(huge, out).status, Status::TooLarge);
  EXPECT_EQ(out, (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace kv::image::test
