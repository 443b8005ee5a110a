// BMP pixel data without compression (palettised, 24-bit and bit fields),
// and the decoder entry point.
#include "korvane3d/rm/image/BmpHeader.h"
#include "korvane3d/rm/image/ImageCommon.h"

#include <bit>

namespace kv::image {

namespace bmp {

namespace {

using detail::Argb;
using detail::Fail;

// One colour channel of a bit-field pixel, scaled to 8 bits through a table.
// Channels wider than 16 bits drop their low bits first (they cannot matter
// after scaling to 8).
class Channel {
 public:
  Channel(std::uint32_t mask, std::uint32_t absentValue) : mask_(mask) {
    if (mask == 0) {
      table_.assign(1, static_cast<std::uint8_t>(absentValue));
      return;
    }
    shift_ = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    if (bits > 16) shift_ += bits - 16;
    const std::uint32_t maxValue = (1u << std::min(bits, 16)) - 1;
    table_.resize(maxValue + 1);
    for (std::uint32_t v = 0; v <= maxValue; ++v) table_[v] = static_cast<std::uint8_t>(detail::ScaleToByte(v, maxValue));
  }
  std::uint32_t Raw(std::uint32_t pixel) const { return (pixel & mask_) >> shift_; }
  std::uint32_t operator()(std::uint32_t pixel) const { return table_[Raw(pixel)]; }

 private:
  std::uint32_t mask_;
  int shift_ = 0;
  std::vector<std::uint8_t> table_;
};

struct MaskedLayout {
  explicit MaskedLayout(const ChannelMasks& m)
      : red(m.red, 0), green(m.green, 0), blue(m.blue, 0), alpha(m.alpha, 255), hasAlpha(m.alpha != 0) {}
  Channel red, green, blue, alpha;
  bool hasAlpha;
};

void IndexedRow(const std::uint8_t* src, int width, int bits, const BmpHeader& h, std::uint32_t* dst) {
  if (bits == 8) {
    for (int x = 0; x < width; ++x) dst[x] = h.palette[src[x]];
    return;
  }
  const int perByte = 8 / bits;
  const unsigned mask = (1u << bits) - 1;
  for (int x = 0; x < width; ++x) {
    const int shift = 8 - bits * (x % perByte + 1);
    dst[x] = h.palette[(src[x / perByte] >> shift) & mask];
  }
}

void Bgr24Row(const std::uint8_t* src, int width, std::uint32_t* dst) {
  for (int x = 0; x < width; ++x, src += 3) dst[x] = Argb(255, src[2], src[1], src[0]);
}

// Returns the OR of the raw alpha values, so the caller can tell an alpha
// channel that carries something from one that is all zero.
template <int kBytesPerPixel>
std::uint32_t MaskedRow(const std::uint8_t* src, int width, const MaskedLayout& layout, std::uint32_t* dst) {
  std::uint32_t alphaSeen = 0;
  for (int x = 0; x < width; ++x, src += kBytesPerPixel) {
    const std::uint32_t p = kBytesPerPixel == 2 ? detail::ReadLe16({src, 2}, 0) : detail::ReadLe32({src, 4}, 0);
    alphaSeen |= layout.alpha.Raw(p);
    dst[x] = Argb(layout.alpha(p), layout.red(p), layout.green(p), layout.blue(p));
  }
  return alphaSeen;
}

// The common 32-bit layout (BGRA bytes, alpha optional) is the output layout
// already: no per-channel work.
bool IsNativeLayout(const BmpHeader& h) {
  const ChannelMasks& m = h.masks;
  return h.bitCount == 32 && m.red == 0xFF0000 && m.green == 0xFF00 && m.blue == 0xFF &&
         (m.alpha == 0 || m.alpha == 0xFF000000u);
}

std::uint32_t NativeRow(const std::uint8_t* src, int width, bool withAlpha, std::uint32_t* dst) {
  const std::uint32_t forceOpaque = withAlpha ? 0 : detail::kOpaqueBlack;
  std::uint32_t alphaSeen = 0;
  for (int x = 0; x < width; ++x, src += 4) {
    const std::uint32_t p = detail::ReadLe32({src, 4}, 0);
    alphaSeen |= p;
    dst[x] = p | forceOpaque;
  }
  return withAlpha ? alphaSeen >> 24 : 0;
}

void MakeOpaque(Image& image) {
  for (std::uint32_t& p : image.pixels) p |= detail::kOpaqueBlack;
}

std::uint64_t RowStride(const BmpHeader& h) { return (static_cast<std::uint64_t>(h.width) * h.bitCount + 31) / 32 * 4; }

}  // namespace

Result DecodeRows(std::span<const std::uint8_t> data, const BmpHeader& h, Image& image) {
  const std::uint64_t stride = RowStride(h);
  // The last row's padding may be missing; its pixels may not.
  const std::uint64_t needed = stride * (h.height - 1) + (static_cast<std::uint64_t>(h.width) * h.bitCount + 7) / 8;
  if (data.size() < needed) {
    return Fail(Status::Corrupt, "BMP: pixel data is truncated (" + std::to_string(data.size()) + " of " +
                                     std::to_string(needed) + " bytes present)");
  }
  detail::AllocatePixels(image, h.width, h.height);
  const MaskedLayout layout(h.masks);
  const bool native = IsNativeLayout(h);
  std::uint32_t alphaSeen = 0;
  for (int row = 0; row < h.height; ++row) {
    const std::uint8_t* src = data.data() + stride * row;
    const int y = h.topDown ? row : h.height - 1 - row;
    std::uint32_t* dst = image.pixels.data() + static_cast<std::size_t>(y) * h.width;
    if (h.bitCount <= 8) IndexedRow(src, h.width, h.bitCount, h, dst);
    else if (h.bitCount == 24) Bgr24Row(src, h.width, dst);
    else if (native) alphaSeen |= NativeRow(src, h.width, layout.hasAlpha, dst);
    else if (h.bitCount == 16) alphaSeen |= MaskedRow<2>(src, h.width, layout, dst);
    else alphaSeen |= MaskedRow<4>(src, h.width, layout, dst);
  }
  // An alpha channel of zeros is a writer that did not fill it in, not an
  // invisible image.
  image.hasAlpha = layout.hasAlpha && alphaSeen != 0;
  if (layout.hasAlpha && !image.hasAlpha) MakeOpaque(image);
  return {};
}

}  // namespace bmp

Result DecodeBmp(std::span<const std::uint8_t> bytes, Image& out) {
  bmp::BmpHeader header;
  if (Result r = bmp::ParseHeader(bytes, header); !r) return r;
  const auto data = bytes.subspan(header.dataOffset);
  Image image;
  const bool rle = header.encoding == bmp::Encoding::Rle4 || header.encoding == bmp::Encoding::Rle8 ||
                   header.encoding == bmp::Encoding::Rle24;
  Result result = rle ? bmp::DecodeRle(data, header, image) : bmp::DecodeRows(data, header, image);
  if (result) out = std::move(image);
  return result;
}

}  // namespace kv::image
