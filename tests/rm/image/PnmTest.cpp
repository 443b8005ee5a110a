// The Netpbm reader: the shared PPM files and hand-made headers.
#include "ImageTestSupport.h"

namespace kv::image::test {
namespace {

const std::filesystem::path kPpm = TestdataDir() / "ppm";

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Image DecodeOk(const Bytes& bytes) {
  Image image;
  const Result r = DecodePnm(bytes, image);
  EXPECT_TRUE(r) << StatusName(r.status) << ": " << r.message;
  return image;
}

TEST(PnmFiles, SharedFilesLoadAndAgree) {
  KV_REQUIRE_SHARED_FILE("ppm");
  // ASCII and binary encodings of one picture.
  const Image binary = LoadOrFail(kPpm / "hopper_8bit.ppm");
  EXPECT_EQ(binary.width, 128);
  EXPECT_TRUE(SamePicture(LoadOrFail(kPpm / "hopper_8bit_plain.ppm"), binary, 0));
  // The grey version is close to the colour one's luminance.
  const Image grey = LoadOrFail(kPpm / "hopper_8bit.pgm");
  ASSERT_EQ(grey.pixels.size(), binary.pixels.size());
  for (std::size_t i = 0; i < grey.pixels.size(); i += 97) {
    const std::uint32_t p = binary.pixels[i];
    const int luma = (299 * ((p >> 16) & 255) + 587 * ((p >> 8) & 255) + 114 * (p & 255)) / 1000;
    EXPECT_NEAR(static_cast<int>(grey.pixels[i] & 255), luma, 4) << i;
  }
  EXPECT_EQ(LoadOrFail(kPpm / "hopper.ppm").width, 128);  // comment in the header
  EXPECT_EQ(LoadOrFail(kPpm / "testorig.ppm").width, 227);
  const Image spaced = LoadOrFail(kPpm / "P6-255-pbmlib.ppm");  // fields separated by runs of spaces
  EXPECT_EQ(spaced.width, 20);
  EXPECT_EQ(spaced.At(0, 0), 0xFFFF0000u);
}

TEST(PnmFiles, SixteenBitSamplesWithCrLfHeader) {
  KV_REQUIRE_SHARED_FILE("ppm");
  const Bytes bytes = ReadBytes(kPpm / "P6-65535-chart-red.ppm");
  const Image image = DecodeOk(bytes);
  ASSERT_EQ(image.width, 256);
  // The raster starts after "\r\n"; each pixel is the scaled big-endian red sample.
  const std::size_t raster = bytes.size() - 256 * 256 * 6;
  for (std::size_t i = 0; i < image.pixels.size(); i += 251) {
    const std::uint32_t red = bytes[raster + 6 * i] << 8 | bytes[raster + 6 * i + 1];
    EXPECT_EQ((image.pixels[i] >> 16) & 255, (red * 255 + 32767) / 65535) << i;
  }
  EXPECT_EQ(image.At(255, 255), 0xFFFF0000u);
}

TEST(PnmFiles, MalformedFilesFail) {
  KV_REQUIRE_SHARED_FILE("ppm");
  Image image;
  EXPECT_EQ(LoadImageFile((kPpm / "negative_size.ppm").string(), image).status, Status::Corrupt);
  EXPECT_TRUE(image.pixels.empty());
}

TEST(PnmDecode, EveryKindAndMaxValue) {
  const std::uint32_t white = 0xFFFFFFFF, black = 0xFF000000;
  EXPECT_EQ(DecodeOk(Text("P1\n3 1\n1 0 1")).pixels, (std::vector<std::uint32_t>{black, white, black}));
  EXPECT_EQ(DecodeOk(Text("P1 3 1 101")).pixels, (std::vector<std::uint32_t>{black, white, black}));  // no separators needed
  EXPECT_EQ(DecodeOk(Concat(Text("P4 10 1\n"), {0b10000000, 0b01000000})).pixels,
            (std::vector<std::uint32_t>{black, white, white, white, white, white, white, white, white, black}));
  EXPECT_EQ(DecodeOk(Text("P2 2 1 15 15 5")).pixels, (std::vector<std::uint32_t>{white, 0xFF555555}));
  EXPECT_EQ(DecodeOk(Concat(Text("P5 2 1 255 "), {0x10, 0xFE})).pixels, (std::vector<std::uint32_t>{0xFF101010, 0xFFFEFEFE}));
  EXPECT_EQ(DecodeOk(Text("P3\n# a comment\n1 1 # another\n1\n1 0 1\n")).pixels, (std::vector<std::uint32_t>{0xFFFF00FF}));
  EXPECT_EQ(DecodeOk(Concat(Text("P6 1 1 65535\n"), {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x01})).pixels,
            (std::vector<std::uint32_t>{0xFFFF8000}));
  // Separators of every kind, comments between any two fields.
  EXPECT_EQ(DecodeOk(Text("P2\t2\r\n#c\n1\v3\f0 3")).pixels, (std::vector<std::uint32_t>{0xFF000000, white}));
  // A raster whose first byte is a line feed after a single CR separator.
  EXPECT_EQ(DecodeOk(Concat(Text("P5 1 1 255\r"), {0x0A})).pixels, (std::vector<std::uint32_t>{0xFF0A0A0A}));
}

TEST(PnmMalformed, HeadersAndRasters) {
  struct Row { const char* name; Bytes bytes; Status expected; };
  const Row rows[] = {
      {"empty", {}, Status::UnknownFormat},
      {"not netpbm", Text("GIF89a"), Status::UnknownFormat},
      {"PAM", Text("P7\nWIDTH 1\n"), Status::Unsupported},
      {"magic only", Text("P6"), Status::Corrupt},
      {"no space after magic", Text("P632 358888888632!\n"), Status::Corrupt},
      {"no height", Text("P6 1"), Status::Corrupt},
      {"letters for width", Text("P6 x 1 255\n"), Status::Corrupt},
      {"junk after a field", Text("P6 1x 1 255\n"), Status::Corrupt},
      {"zero width", Text("P6 0 1 255\n"), Status::Corrupt},
      {"maxval zero", Text("P6 1 1 0\n\1\1\1"), Status::Corrupt},
      {"maxval too big", Text("P6 1 1 65536\n"), Status::Corrupt},
      {"60000 x 60000", Text("P6 60000 60000 255\n"), Status::TooLarge},
      {"20-digit width", Text("P6 99999999999999999999 1 255\n"), Status::TooLarge},
      {"16384 x 4096 in a few bytes", Text("P6 16384 4096 255\nabc"), Status::Corrupt},
      {"ASCII 16384 x 4096 in a few bytes", Text("P3 16384 4096 255\n1 2 3"), Status::Corrupt},
      {"no separator before raster", Text("P5 1 1 255"), Status::Corrupt},
      {"binary raster short", Text("P6 2 1 255\nabc"), Status::Corrupt},
      {"16-bit raster short", Text("P5 2 1 1000\nabc"), Status::Corrupt},
      {"binary sample above maxval", Concat(Text("P5 1 1 7\n"), {8}), Status::Corrupt},
      {"ASCII sample above maxval", Text("P2 1 1 7\n8"), Status::Corrupt},
      {"ASCII raster short", Text("P2 3 1 7\n1 2 "), Status::Corrupt},
      {"ASCII junk sample", Text("P2 3 1 7\n1 z 3"), Status::Corrupt},
      {"PBM junk", Text("P1 2 1 12"), Status::Corrupt},
  };
  for (const Row& row : rows) {
    Image untouched = Gradient(2, 2);
    const Result r = DecodePnm(row.bytes, untouched);
    EXPECT_EQ(r.status, row.expected) << row.name << ": " << r.message;
    EXPECT_FALSE(r.message.empty()) << row.name;
    EXPECT_EQ(untouched.pixels, Gradient(2, 2).pixels) << row.name;
  }
  // Every cut of a small binary file fails.
  const Bytes whole = Concat(Text("P6 2 1 255\n"), {1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(DecodeOk(whole).width == 2);
  for (std::size_t size = 0; size < whole.size(); ++size) {
    Image image;
    EXPECT_NE(DecodePnm(std::span(whole).first(size), image).status, Status::Ok) << "cut at " << size;
  }
}

}  // namespace
}  // namespace kv::image::test
