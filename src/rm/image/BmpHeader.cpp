// Reading and checking BMP file and info headers.
#include "korvane3d/rm/image/BmpHeader.h"

#include "korvane3d/rm/image/ImageCommon.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace kv::image::bmp {

namespace {

using detail::Fail;
using detail::ReadLe16;
using detail::ReadLe32;
using detail::ReadLe32Signed;

constexpr std::size_t kFileHeaderSize = 14;

// Compression codes of the info header.
constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiJpeg = 4, kBiPng = 5,
                        kBiAlphaBitfields = 6;
// OS/2 2.x reuses codes 3 and 4 for its own compressions.
constexpr std::uint32_t kOs2Huffman = 3, kOs2Rle24 = 4;

// A density beyond 1,000,000 pixels per metre (25,400 dpi) matches no device;
// such a header is garbage, not an unusual image.
constexpr std::int64_t kMaxDensity = 1000000;

enum class Family { Core, Os2, Windows };

// The raw fields, before any interpretation.
struct RawHeader {
  std::uint32_t fileSize = 0, dataOffset = 0, infoSize = 0;
  Family family = Family::Windows;
  std::int64_t width = 0, height = 0;
  std::uint32_t planes = 0, bitCount = 0, compression = kBiRgb, colorsUsed = 0;
  std::int64_t xDensity = 0, yDensity = 0;
  ChannelMasks masks;          // as found in the file (zero when absent)
  std::size_t infoEnd = 0;     // end of the info header and any masks after it
};

Result Corrupt(const std::string& what) { return Fail(Status::Corrupt, "BMP: " + what); }
Result Unsupported(const std::string& what) { return Fail(Status::Unsupported, "BMP: " + what); }

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

Result ClassifyInfoHeader(std::uint32_t size, Family& family) {
  if (size == 12) family = Family::Core;
  else if (size == 40 || size == 52 || size == 56 || size == 108 || size == 124) family = Family::Windows;
  else if (size >= 16 && size <= 64) family = Family::Os2;
  else if (size > 64 && size < 1024) return Unsupported("info header of " + std::to_string(size) + " bytes is not a known version");
  else return Corrupt("invalid info header size " + std::to_string(size));
  return {};
}

void ReadCoreFields(std::span<const std::uint8_t> b, RawHeader& raw) {
  raw.width = ReadLe16(b, 18);
  raw.height = ReadLe16(b, 20);
  raw.planes = ReadLe16(b, 22);
  raw.bitCount = ReadLe16(b, 24);
}

// Windows and OS/2 2.x share the first 40 bytes; a short OS/2 header leaves the
// missing fields zero.
void ReadInfoFields(std::span<const std::uint8_t> b, RawHeader& raw) {
  const std::uint32_t size = raw.infoSize;
  raw.width = ReadLe32Signed(b, 18);
  raw.height = ReadLe32Signed(b, 22);
  raw.planes = ReadLe16(b, 26);
  raw.bitCount = ReadLe16(b, 28);
  if (size >= 20) raw.compression = ReadLe32(b, 30);
  if (size >= 32) raw.xDensity = ReadLe32Signed(b, 38), raw.yDensity = ReadLe32Signed(b, 42);
  if (size >= 36) raw.colorsUsed = ReadLe32(b, 46);
}

// Masks live inside V2+ headers, or in 12 or 16 bytes after a 40-byte header.
Result ReadMasks(std::span<const std::uint8_t> b, RawHeader& raw) {
  std::size_t count = 0;
  if (raw.family == Family::Windows && raw.infoSize >= 52) {
    count = raw.infoSize >= 56 ? 4 : 3;
  } else if (raw.family == Family::Windows && raw.compression == kBiBitfields) {
    count = 3;
    raw.infoEnd += 12;
  } else if (raw.family == Family::Windows && raw.compression == kBiAlphaBitfields) {
    count = 4;
    raw.infoEnd += 16;
  }
  if (raw.infoEnd > b.size()) return Corrupt("file ends inside the colour masks");
  const std::size_t at = kFileHeaderSize + 40;
  if (count >= 3) raw.masks = {ReadLe32(b, at), ReadLe32(b, at + 4), ReadLe32(b, at + 8), 0};
  if (count == 4) raw.masks.alpha = ReadLe32(b, at + 12);
  return {};
}

Result ReadRawHeader(std::span<const std::uint8_t> b, RawHeader& raw) {
  if (b.size() < 2 || b[0] != 'B' || b[1] != 'M') return Fail(Status::UnknownFormat, "BMP: no 'BM' signature");
  if (b.size() < kFileHeaderSize + 4) return Corrupt("file ends inside the file header");
  raw.fileSize = ReadLe32(b, 2);
  raw.dataOffset = ReadLe32(b, 10);
  raw.infoSize = ReadLe32(b, 14);
  if (Result r = ClassifyInfoHeader(raw.infoSize, raw.family); !r) return r;
  raw.infoEnd = kFileHeaderSize + raw.infoSize;
  if (raw.infoEnd > b.size()) return Corrupt("file ends inside the info header");
  if (raw.family == Family::Core) ReadCoreFields(b, raw);
  else ReadInfoFields(b, raw);
  return ReadMasks(b, raw);
}

// Sizes, orientation and the fields that only a broken header gets wrong.
Result CheckGeometry(const RawHeader& raw, std::uint64_t fileBytes, BmpHeader& header) {
  if (raw.planes != 1) return Corrupt("plane count is " + std::to_string(raw.planes) + ", not 1");
  if (std::llabs(raw.xDensity) > kMaxDensity || std::llabs(raw.yDensity) > kMaxDensity) {
    return Corrupt("implausible pixel density " + std::to_string(raw.xDensity) + " x " +
                   std::to_string(raw.yDensity) + " per metre");
  }
  const std::int64_t height = raw.height < 0 ? -raw.height : raw.height;
  if (Result r = detail::CheckDimensions("BMP", raw.width, height); !r) return r;
  header.width = static_cast<int>(raw.width);
  header.height = static_cast<int>(height);
  header.topDown = raw.height < 0;
  if (raw.fileSize > fileBytes) {
    return Corrupt("file is truncated: its header says " + std::to_string(raw.fileSize) + " bytes, " +
                   std::to_string(fileBytes) + " are present");
  }
  return {};
}

Result ChooseEncoding(const RawHeader& raw, BmpHeader& header) {
  const std::uint32_t c = raw.compression;
  const bool os2 = raw.family == Family::Os2;
  if (c == kBiJpeg && !os2) return Unsupported("the pixel data is a JPEG image (BI_JPEG)");
  if (c == kBiPng) return Unsupported("the pixel data is a PNG image (BI_PNG)");
  if (c == kOs2Huffman && os2) return Unsupported("OS/2 Huffman 1D compression");
  if (c == kBiRgb) header.encoding = Encoding::Rgb;
  else if (c == kBiRle8) header.encoding = Encoding::Rle8;
  else if (c == kBiRle4) header.encoding = Encoding::Rle4;
  else if (c == kOs2Rle24) header.encoding = Encoding::Rle24;
  else if (c == kBiBitfields || c == kBiAlphaBitfields) header.encoding = Encoding::Bitfields;
  else return Unsupported("compression " + std::to_string(c) + " is not supported");
  return {};
}

Result CheckBitCount(const RawHeader& raw, BmpHeader& header) {
  const std::uint32_t bits = raw.bitCount;
  if (bits == 64) return Unsupported("64-bit pixels are not supported");
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return Corrupt("invalid bit count " + std::to_string(bits));
  }
  header.bitCount = static_cast<int>(bits);
  const bool fits = (header.encoding == Encoding::Rgb) || (header.encoding == Encoding::Rle8 && bits == 8) ||
                    (header.encoding == Encoding::Rle4 && bits == 4) ||
                    (header.encoding == Encoding::Rle24 && bits == 24) ||
                    (header.encoding == Encoding::Bitfields && (bits == 16 || bits == 32));
  if (!fits) return Corrupt(std::to_string(bits) + "-bit pixels cannot use compression " + std::to_string(raw.compression));
  return {};
}

bool IsContiguous(std::uint32_t mask) {
  if (mask == 0) return true;
  const std::uint32_t shifted = mask >> std::countr_zero(mask);
  return (shifted & (shifted + 1)) == 0;
}

Result CheckMask(const char* name, std::uint32_t mask, int bitCount) {
  if (!IsContiguous(mask)) return Corrupt(std::string(name) + " mask " + Hex(mask) + " has gaps");
  if (bitCount < 32 && (mask >> bitCount) != 0) {
    return Corrupt(std::string(name) + " mask " + Hex(mask) + " does not fit " + std::to_string(bitCount) + "-bit pixels");
  }
  return {};
}

// Plain 16- and 32-bit pixels have fixed colour layouts; an alpha mask from a
// V4/V5 header still applies when it stays clear of the colour bits.
Result ChooseMasks(const RawHeader& raw, BmpHeader& header) {
  if (header.bitCount != 16 && header.bitCount != 32) return {};
  ChannelMasks masks = raw.masks;
  if (header.encoding == Encoding::Rgb) {
    masks = header.bitCount == 16 ? ChannelMasks{0x7C00, 0x03E0, 0x001F, 0} : ChannelMasks{0xFF0000, 0xFF00, 0xFF, 0};
    const std::uint32_t colour = masks.red | masks.green | masks.blue;
    const std::uint32_t alpha = raw.masks.alpha;
    const bool alphaFits = (alpha & colour) == 0 && (header.bitCount == 32 || (alpha >> 16) == 0);
    if (alphaFits && IsContiguous(alpha)) masks.alpha = alpha;
  } else if ((masks.red | masks.green | masks.blue) == 0) {
    return Corrupt("bit-field colour masks are all zero");
  }
  for (auto [name, mask] : {std::pair{"red", masks.red}, {"green", masks.green}, {"blue", masks.blue}, {"alpha", masks.alpha}}) {
    if (Result r = CheckMask(name, mask, header.bitCount); !r) return r;
  }
  header.masks = masks;
  return {};
}

std::size_t PaletteOffset(const RawHeader& raw) { return raw.infoEnd; }
std::size_t PaletteEntrySize(const RawHeader& raw) { return raw.family == Family::Core ? 3 : 4; }

// Entries declared for the pixel data: biClrUsed, or every index the bit
// count can express. Bit counts above 8 have no palette to read.
std::uint64_t DeclaredPaletteEntries(const RawHeader& raw) {
  if (raw.bitCount > 8) return 0;
  if (raw.family != Family::Core && raw.colorsUsed != 0) return raw.colorsUsed;
  return 1u << raw.bitCount;
}

// An explicit entry count must be in the file. An implied full palette may be
// cut short by the pixel data (writers of short palettes leave biClrUsed 0);
// entries that are not there read as black.
Result ReadPalette(std::span<const std::uint8_t> b, const RawHeader& raw, BmpHeader& header) {
  header.palette.fill(detail::kOpaqueBlack);
  const std::uint64_t declared = DeclaredPaletteEntries(raw);
  const std::size_t entrySize = PaletteEntrySize(raw), at = PaletteOffset(raw);
  const std::uint64_t inFile = (b.size() - at) / entrySize;
  const bool explicitCount = raw.family != Family::Core && raw.colorsUsed != 0 && raw.bitCount <= 8;
  if (explicitCount && declared > inFile) {
    return Corrupt("palette of " + std::to_string(declared) + " entries runs past the end of the file");
  }
  std::uint64_t used = std::min<std::uint64_t>({declared, std::uint64_t{256}, inFile});
  if (raw.dataOffset > at) used = std::min<std::uint64_t>(used, (raw.dataOffset - at) / entrySize);
  for (std::size_t i = 0; i < used; ++i) {
    const std::size_t e = at + i * entrySize;
    header.palette[i] = detail::Argb(255, b[e + 2], b[e + 1], b[e]);
  }
  return {};
}

Result LocatePixelData(std::span<const std::uint8_t> b, const RawHeader& raw, BmpHeader& header) {
  std::size_t offset = raw.dataOffset;
  if (offset == 0) {  // some writers leave it out: the data follows the palette
    offset = PaletteOffset(raw) + static_cast<std::size_t>(DeclaredPaletteEntries(raw)) * PaletteEntrySize(raw);
  }
  if (offset < raw.infoEnd) return Corrupt("pixel data offset " + std::to_string(offset) + " points into the header");
  if (offset >= b.size()) return Corrupt("pixel data offset " + std::to_string(offset) + " is past the end of the file");
  header.dataOffset = offset;
  return {};
}

}  // namespace

Result ParseHeader(std::span<const std::uint8_t> bytes, BmpHeader& header) {
  RawHeader raw;
  if (Result r = ReadRawHeader(bytes, raw); !r) return r;
  if (Result r = CheckGeometry(raw, bytes.size(), header); !r) return r;
  if (Result r = ChooseEncoding(raw, header); !r) return r;
  if (Result r = CheckBitCount(raw, header); !r) return r;
  if (Result r = ChooseMasks(raw, header); !r) return r;
  if (Result r = ReadPalette(bytes, raw, header); !r) return r;
  return LocatePixelData(bytes, raw, header);
}

Result CheckHead(std::span<const std::uint8_t> head, std::uint64_t fileBytes) {
  RawHeader raw;
  BmpHeader header;
  if (Result r = ReadRawHeader(head, raw); !r) return r;
  if (Result r = CheckGeometry(raw, fileBytes, header); !r) return r;
  if (Result r = ChooseEncoding(raw, header); !r) return r;
  return CheckBitCount(raw, header);
}

}  // namespace kv::image::bmp
