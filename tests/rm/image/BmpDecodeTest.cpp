// The BMP reader on hand-made files: each feature with exact expected pixels,
// and tables of malformed files with the status each must give.
#include "ImageTestSupport.h"

namespace kv::image::test {
namespace {

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

Image DecodeOk(const Bytes& bytes) {
  Image image;
  const Result r = DecodeBmp(bytes, image);
  EXPECT_TRUE(r) << StatusName(r.status) << ": " << r.message;
  return image;
}

std::vector<std::uint32_t> Opaque(std::initializer_list<std::uint32_t> rgb) {
  std::vector<std::uint32_t> out;
  for (std::uint32_t c : rgb) out.push_back(0xFF000000u | c);
  return out;
}

TEST(BmpDecode, PalettisedDepthsAndRowOrder) {
  // 3x2, palette {red, green, blue, white}; top row: 0 1 2, bottom row: 3 0 1.
  struct Row { int bits; Bytes bottomUpRows; };
  const Row rows[] = {
      {8, {3, 0, 1, 0, 0, 1, 2, 0}},
      {4, {0x30, 0x10, 0, 0, 0x01, 0x20, 0, 0}},
      {2, {0b11000100, 0, 0, 0, 0b00011000, 0, 0, 0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bits);
    BmpLayout layout{.width = 3, .height = 2, .bitCount = row.bits, .palette = {kRed, kGreen, kBlue, kWhite}, .pixelData = row.bottomUpRows};
    const Image image = DecodeOk(BuildBmp(layout));
    EXPECT_EQ(image.pixels, Opaque({kRed, kGreen, kBlue, kWhite, kRed, kGreen}));
    EXPECT_FALSE(image.hasAlpha);
    // The same rows stored top-down (negative height).
    layout.height = -2;
    std::swap_ranges(layout.pixelData.begin(), layout.pixelData.begin() + 4, layout.pixelData.begin() + 4);
    EXPECT_EQ(DecodeOk(BuildBmp(layout)).pixels, Opaque({kRed, kGreen, kBlue, kWhite, kRed, kGreen}));
  }
  // 1 bit, 10 pixels wide: bits cross the byte boundary.
  const BmpLayout mono{.width = 10, .height = 1, .bitCount = 1, .palette = {0, kWhite}, .pixelData = {0b10110000, 0b01000000, 0, 0}};
  EXPECT_EQ(DecodeOk(BuildBmp(mono)).pixels, Opaque({kWhite, 0, kWhite, kWhite, 0, 0, 0, 0, 0, kWhite}));
  // Indices past a two-entry palette read as black.
  const BmpLayout shortPalette{.width = 4, .height = 1, .bitCount = 8, .palette = {kRed, kBlue}, .colorsUsed = 2, .pixelData = {1, 0, 7, 255}};
  EXPECT_EQ(DecodeOk(BuildBmp(shortPalette)).pixels, Opaque({kBlue, kRed, 0, 0}));
}

TEST(BmpDecode, TrueColourAndBitFields) {
  // 24-bit, 1 pixel wide: each row padded to 4 bytes.
  const BmpLayout bgr{.width = 1, .height = 2, .pixelData = {0x30, 0x20, 0x10, 0, 0x03, 0x02, 0x01, 0}};
  EXPECT_EQ(DecodeOk(BuildBmp(bgr)).pixels, (std::vector<std::uint32_t>{0xFF010203, 0xFF102030}));
  // 16-bit default 5-5-5: full-scale channels become 255, the top bit is ignored.
  const BmpLayout rgb555{.width = 2, .height = 1, .bitCount = 16, .pixelData = {0x00, 0xFC, 0x1F, 0x80}};
  EXPECT_EQ(DecodeOk(BuildBmp(rgb555)).pixels, Opaque({kRed, kBlue}));
  // 5-6-5 through masks; mid-scale green 32/63 rounds to 130.
  const BmpLayout rgb565{.width = 2, .height = 1, .bitCount = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F},
                       .pixelData = {0x00, 0xF8, 0x00, 0x04}};
  EXPECT_EQ(DecodeOk(BuildBmp(rgb565)).pixels, (std::vector<std::uint32_t>{0xFFFF0000, 0xFF008200}));
  // 32-bit 10-10-10-2 with alpha (BI_ALPHABITFIELDS): 20 bits of red survive the scaling.
  const BmpLayout wide{.width = 1, .height = 1, .bitCount = 32, .compression = 6,
                     .masks = {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}, .pixelData = {0xFF, 0x03, 0xF0, 0x7F}};
  const Image image = DecodeOk(BuildBmp(wide));
  EXPECT_EQ(image.pixels[0], 0x55FF00FFu);
  EXPECT_TRUE(image.hasAlpha);
}

TEST(BmpDecode, AlphaNeedsADeclarationAndAValue) {
  const Bytes withAlpha = {0x10, 0x20, 0x30, 0x80, 0x10, 0x20, 0x30, 0x00};
  const Bytes zeroAlpha = {0x10, 0x20, 0x30, 0x00, 0x10, 0x20, 0x30, 0x00};
  // A 40-byte header has no alpha: the fourth byte is padding.
  EXPECT_EQ(DecodeOk(BuildBmp({.width = 2, .height = 1, .bitCount = 32, .pixelData = withAlpha})).pixels,
            (std::vector<std::uint32_t>{0xFF302010, 0xFF302010}));
  // A V5 header's alpha mask applies to plain 32-bit pixels...
  const Image v5 = DecodeOk(BuildBmp({.width = 2, .height = 1, .bitCount = 32, .infoSize = 124,
                                      .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, .pixelData = withAlpha}));
  EXPECT_TRUE(v5.hasAlpha);
  EXPECT_EQ(v5.pixels, (std::vector<std::uint32_t>{0x80302010, 0x00302010}));
  // ...unless every alpha value is zero: then the writer did not fill it in.
  const Image blank = DecodeOk(BuildBmp({.width = 2, .height = 1, .bitCount = 32, .infoSize = 124,
                                         .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, .pixelData = zeroAlpha}));
  EXPECT_FALSE(blank.hasAlpha);
  EXPECT_EQ(blank.pixels, (std::vector<std::uint32_t>{0xFF302010, 0xFF302010}));
}

// --- run-length encoding ---------------------------------------------------

BmpLayout Rle8(int width, int height, Bytes stream) {
  return {.width = width, .height = height, .bitCount = 8, .compression = 1,
          .palette = {kRed, kGreen, kBlue, kWhite}, .pixelData = std::move(stream)};
}

TEST(BmpRle, RunsLiteralsAndMoves) {
  // Bottom row: a run of 2 red, then a literal green, blue, white (padded to
  // an even length); end of line; a delta 2 to the right; 1 blue; end of bitmap.
  const Bytes stream = {2, 0, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 0, 1, 2, 0, 1};
  const Image image = DecodeOk(BuildBmp(Rle8(5, 2, stream)));
  EXPECT_EQ(image.pixels, (std::vector<std::uint32_t>{0, 0, 0xFF0000FF, 0, 0, 0xFFFF0000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}));
  EXPECT_TRUE(image.hasAlpha);  // skipped pixels are transparent

  // RLE4: a run alternates its two nibbles; an odd literal uses half a byte.
  const BmpLayout rle4{.width = 6, .height = 1, .bitCount = 4, .compression = 2, .palette = {kRed, kGreen, kBlue, kWhite},
                     .pixelData = {3, 0x12, 0, 3, 0x30, 0x10, 0, 1}};
  const Image nibbles = DecodeOk(BuildBmp(rle4));
  EXPECT_EQ(nibbles.pixels, Opaque({kGreen, kBlue, kGreen, kWhite, kRed, kGreen}));
  EXPECT_FALSE(nibbles.hasAlpha);
}

TEST(BmpRle, EndingsThatCompleteTheImage) {
  // No end-of-bitmap code, but every row written: accepted.
  EXPECT_TRUE(DecodeOk(BuildBmp(Rle8(2, 1, {2, 1}))).pixels == Opaque({kGreen, kGreen}));
  EXPECT_TRUE(DecodeOk(BuildBmp(Rle8(2, 1, {2, 1, 0, 0}))).pixels == Opaque({kGreen, kGreen}));
  // Early end of bitmap: the rest stays transparent.
  const Image cut = DecodeOk(BuildBmp(Rle8(2, 2, {1, 3, 0, 1})));
  EXPECT_EQ(cut.pixels, (std::vector<std::uint32_t>{0, 0, 0xFFFFFFFF, 0}));
  EXPECT_TRUE(cut.hasAlpha);
}

// --- malformed files --------------------------------------------------------

struct Malformed {
  const char* name;
  Bytes bytes;
  Status expected;
};

void ExpectAllRejected(const std::vector<Malformed>& table) {
  for (const Malformed& row : table) {
    Image untouched = Gradient(2, 2);
    const Result r = DecodeBmp(row.bytes, untouched);
    EXPECT_EQ(r.status, row.expected) << row.name << ": " << r.message;
    EXPECT_FALSE(r.message.empty()) << row.name;
    EXPECT_EQ(untouched.pixels, Gradient(2, 2).pixels) << row.name;
  }
}

Bytes WithField32(Bytes b, std::size_t at, std::uint32_t value) {
  PutLe32(b, at, value);
  return b;
}
Bytes WithField16(Bytes b, std::size_t at, std::uint32_t value) {
  PutLe16(b, at, value);
  return b;
}

TEST(BmpMalformed, EveryTruncationIsRejected) {
  // 4x2 8-bit: rows need no padding, so every cut loses something.
  const BmpLayout layout{.width = 4, .height = 2, .bitCount = 8, .palette = {kRed, kGreen}, .pixelData = Bytes(8, 1)};
  for (long long fileSize : {-1LL, 0LL}) {  // honest size field, and a writer that left it 0
    BmpLayout s = layout;
    s.fileSize = fileSize;
    const Bytes whole = BuildBmp(s);
    ASSERT_TRUE(DecodeOk(whole).pixels == std::vector<std::uint32_t>(8, 0xFF00FF00));
    std::vector<Malformed> table;
    for (std::size_t size = 0; size < whole.size(); ++size) {
      table.push_back({"cut", Bytes(whole.begin(), whole.begin() + size), size < 2 ? Status::UnknownFormat : Status::Corrupt});
    }
    ExpectAllRejected(table);
  }
}

TEST(BmpMalformed, HeaderFields) {
  const Bytes good = BuildBmp({.width = 4, .height = 2, .bitCount = 8, .palette = {kRed, kGreen}, .colorsUsed = 2, .pixelData = Bytes(8, 1)});
  const Bytes true16 = BuildBmp({.width = 2, .height = 1, .bitCount = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}, .pixelData = Bytes(4, 0)});
  ExpectAllRejected({
      {"not BM", WithField16(good, 0, 0x4142), Status::UnknownFormat},
      {"zero width", WithField32(good, 18, 0), Status::Corrupt},
      {"negative width", WithField32(good, 18, static_cast<std::uint32_t>(-4)), Status::Corrupt},
      {"zero height", WithField32(good, 22, 0), Status::Corrupt},
      {"most negative height", WithField32(good, 22, 0x80000000u), Status::TooLarge},
      {"60000 x 60000", WithField32(WithField32(good, 18, 60000), 22, 60000), Status::TooLarge},
      {"16384 x 4096 in a few bytes", WithField32(WithField32(good, 18, 16384), 22, 4096), Status::Corrupt},
      {"two planes", WithField16(good, 26, 2), Status::Corrupt},
      {"3 bits per pixel", WithField16(good, 28, 3), Status::Corrupt},
      {"64 bits per pixel", WithField16(good, 28, 64), Status::Unsupported},
      {"RLE4 on 8-bit pixels", WithField32(good, 30, 2), Status::Corrupt},
      {"bit fields on 8-bit pixels", WithField32(good, 30, 3), Status::Corrupt},
      {"JPEG inside", WithField32(good, 30, 4), Status::Unsupported},
      {"unknown compression", WithField32(good, 30, 99), Status::Unsupported},
      {"huge palette", WithField32(good, 46, 0x40000000), Status::Corrupt},
      {"absurd density", WithField32(good, 38, 30000000), Status::Corrupt},
      {"info header of 13 bytes", WithField32(good, 14, 13), Status::Corrupt},
      {"info header of 200 bytes", WithField32(good, 14, 200), Status::Unsupported},
      {"size field beyond the file", WithField32(good, 2, 100000), Status::Corrupt},
      {"data offset past the end", WithField32(good, 10, 5000), Status::Corrupt},
      {"data offset inside the header", WithField32(good, 10, 20), Status::Corrupt},
      {"all masks zero", WithField32(WithField32(WithField32(true16, 54, 0), 58, 0), 62, 0), Status::Corrupt},
      {"mask with gaps", WithField32(true16, 54, 0xF00F), Status::Corrupt},
      {"mask wider than the pixel", WithField32(true16, 54, 0x1F0000), Status::Corrupt},
  });
  // A data offset of 0 means "right after the palette".
  EXPECT_TRUE(DecodeOk(WithField32(good, 10, 0)).pixels == std::vector<std::uint32_t>(8, 0xFF00FF00));
}

TEST(BmpMalformed, RleOverruns) {
  ExpectAllRejected({
      {"run past the row end", BuildBmp(Rle8(4, 2, {5, 1, 0, 1})), Status::Corrupt},
      {"run continuing a row", BuildBmp(Rle8(4, 2, {3, 1, 2, 1, 0, 1})), Status::Corrupt},
      {"literal past the row end", BuildBmp(Rle8(2, 2, {0, 3, 1, 1, 1, 0, 0, 1})), Status::Corrupt},
      {"delta past the right edge", BuildBmp(Rle8(4, 2, {0, 2, 5, 0, 0, 1})), Status::Corrupt},
      {"delta past the last row", BuildBmp(Rle8(4, 2, {0, 2, 0, 3, 0, 1})), Status::Corrupt},
      {"pixels after the last row", BuildBmp(Rle8(2, 1, {2, 1, 0, 0, 1, 1, 0, 1})), Status::Corrupt},
      {"literal cut short", BuildBmp(Rle8(8, 1, {0, 6, 1, 1, 1})), Status::Corrupt},
      {"delta cut short", BuildBmp(Rle8(8, 2, {0, 2, 1})), Status::Corrupt},
      {"ends before the last row", BuildBmp(Rle8(2, 3, {2, 1, 0, 0})), Status::Corrupt},
      {"RLE24 run cut short", BuildBmp({.width = 2, .height = 1, .bitCount = 24, .compression = 4, .infoSize = 64, .pixelData = {2, 1}}), Status::Corrupt},
      {"16384 x 4096 from 4 bytes", WithField32(WithField32(BuildBmp(Rle8(2, 1, {0, 0, 0, 1})), 18, 16384), 22, 4096), Status::Corrupt},
  });
}

}  // namespace
}  // namespace kv::image::test
