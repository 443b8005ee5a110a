// Netpbm images: PBM (P1, P4), PGM (P2, P5) and PPM (P3, P6).
//
// The header is white-space separated decimal fields with '#' comments
// allowed between them; a binary raster starts after exactly one white-space
// byte following the last field. Samples wider than 8 bits are big-endian
// and scaled to 8 bits.
#include "korvane3d/rm/image/Image.h"

#include "korvane3d/rm/image/ImageCommon.h"

namespace kv::image {

namespace {

using detail::Argb;
using detail::Fail;

Result Corrupt(const std::string& what) { return Fail(Status::Corrupt, "PNM: " + what); }

bool IsSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

struct PnmKind {
  int channels = 1;   // 1 grey or bitmap, 3 colour
  bool binary = false;
  bool bitmap = false;
};

class PnmReader {
 public:
  explicit PnmReader(std::span<const std::uint8_t> bytes) : b_(bytes) {}

  Result Decode(Image& out) {
    if (Result r = ReadMagic(); !r) return r;
    if (Result r = ReadHeader(); !r) return r;
    Image image;
    Result r = kind_.binary ? ReadBinary(image) : ReadAscii(image);
    if (r) out = std::move(image);
    return r;
  }

  // The header alone, from the first bytes of a file; `partial` when the
  // file goes on beyond them.
  Result CheckHead(bool partial) {
    if (Result r = ReadMagic(); !r) return r;
    Result r = ReadHeader();
    // A header that runs to the end of the bytes given may be cut off in
    // the middle of a field.
    if (partial && pos_ >= b_.size()) return Corrupt("the header is longer than " + std::to_string(b_.size()) + " bytes");
    return r;
  }

 private:
  Result ReadMagic() {
    if (b_.size() < 2 || b_[0] != 'P' || b_[1] < '1' || b_[1] > '7') return Fail(Status::UnknownFormat, "PNM: no P1-P6 magic number");
    const int n = b_[1] - '0';
    if (n == 7) return Fail(Status::Unsupported, "PNM: PAM (P7) images are not supported");
    kind_.binary = n >= 4;
    kind_.bitmap = n == 1 || n == 4;
    kind_.channels = (n == 3 || n == 6) ? 3 : 1;
    pos_ = 2;
    if (pos_ >= b_.size() || !(IsSpace(b_[pos_]) || b_[pos_] == '#')) return Corrupt("no white space after the magic number");
    return {};
  }

  // Skips white space and '#' comments (which run to the end of the line).
  void SkipSeparators() {
    while (pos_ < b_.size()) {
      if (IsSpace(b_[pos_])) {
        ++pos_;
      } else if (b_[pos_] == '#') {
        while (pos_ < b_.size() && b_[pos_] != '\n' && b_[pos_] != '\r') ++pos_;
      } else {
        break;
      }
    }
  }

  // A decimal field; values past 2^31 saturate (they fail the range checks).
  bool ReadNumber(std::uint32_t& value) {
    SkipSeparators();
    if (pos_ >= b_.size() || !IsDigit(b_[pos_])) return false;
    std::uint64_t v = 0;
    while (pos_ < b_.size() && IsDigit(b_[pos_])) {
      v = std::min<std::uint64_t>(v * 10 + (b_[pos_] - '0'), 1ull << 31);
      ++pos_;
    }
    value = static_cast<std::uint32_t>(v);
    return true;
  }

  Result ReadField(const char* name, std::uint32_t& value) {
    if (!ReadNumber(value)) return Corrupt(std::string("expected the ") + name + (pos_ >= b_.size() ? ", found the end of the file" : ""));
    if (pos_ < b_.size() && !IsSpace(b_[pos_]) && b_[pos_] != '#') return Corrupt(std::string("junk after the ") + name);
    return {};
  }

  Result ReadHeader() {
    std::uint32_t width = 0, height = 0;
    if (Result r = ReadField("width", width); !r) return r;
    if (Result r = ReadField("height", height); !r) return r;
    if (!kind_.bitmap) {
      if (Result r = ReadField("maximum value", maxValue_); !r) return r;
      if (maxValue_ < 1 || maxValue_ > 65535) return Corrupt("maximum value " + std::to_string(maxValue_) + " is not in 1..65535");
    }
    if (Result r = detail::CheckDimensions("PNM", width, height); !r) return r;
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    return {};
  }

  std::uint64_t SampleCount() const { return static_cast<std::uint64_t>(width_) * height_ * kind_.channels; }

  std::vector<std::uint8_t> ScaleTable() const {
    std::vector<std::uint8_t> table(maxValue_ + 1);
    for (std::uint32_t v = 0; v <= maxValue_; ++v) table[v] = static_cast<std::uint8_t>(detail::ScaleToByte(v, maxValue_));
    return table;
  }

  void Store(Image& image, std::size_t pixel, const std::uint8_t* s) const {
    image.pixels[pixel] = kind_.channels == 3 ? Argb(255, s[0], s[1], s[2]) : Argb(255, s[0], s[0], s[0]);
  }

  // --- binary rasters -----------------------------------------------------

  Result StartBinaryRaster(std::uint64_t rasterBytes) {
    if (pos_ >= b_.size()) return Corrupt("the file ends before the pixel data");
    const std::uint8_t separator = b_[pos_++];
    if (!IsSpace(separator)) return Corrupt("no white space before the pixel data");
    // A header written with CR LF line ends: the LF belongs to the header when
    // the raster exactly fills the rest of the file after it.
    if (separator == '\r' && pos_ < b_.size() && b_[pos_] == '\n' && b_.size() - pos_ - 1 == rasterBytes) ++pos_;
    if (b_.size() - pos_ < rasterBytes) {
      return Corrupt("pixel data is truncated (" + std::to_string(b_.size() - pos_) + " of " +
                     std::to_string(rasterBytes) + " bytes present)");
    }
    return {};
  }

  Result ReadBinary(Image& image) {
    if (kind_.bitmap) return ReadPackedBits(image);
    const int sampleBytes = maxValue_ > 255 ? 2 : 1;
    if (Result r = StartBinaryRaster(SampleCount() * sampleBytes); !r) return r;
    detail::AllocatePixels(image, width_, height_);
    const std::uint8_t* src = b_.data() + pos_;
    const std::size_t pixels = image.pixels.size();
    if (sampleBytes == 1 && maxValue_ == 255) {
      for (std::size_t i = 0; i < pixels; ++i, src += kind_.channels) Store(image, i, src);
      return {};
    }
    const std::vector<std::uint8_t> table = ScaleTable();
    std::uint8_t scaled[3];
    for (std::size_t i = 0; i < pixels; ++i) {
      for (int c = 0; c < kind_.channels; ++c, src += sampleBytes) {
        const std::uint32_t v = sampleBytes == 2 ? (src[0] << 8 | src[1]) : src[0];
        if (v > maxValue_) return Corrupt("sample " + std::to_string(v) + " exceeds the maximum value " + std::to_string(maxValue_));
        scaled[c] = table[v];
      }
      Store(image, i, scaled);
    }
    return {};
  }

  Result ReadPackedBits(Image& image) {
    const std::size_t rowBytes = (static_cast<std::size_t>(width_) + 7) / 8;
    if (Result r = StartBinaryRaster(static_cast<std::uint64_t>(rowBytes) * height_); !r) return r;
    detail::AllocatePixels(image, width_, height_);
    for (int y = 0; y < height_; ++y) {
      const std::uint8_t* row = b_.data() + pos_ + y * rowBytes;
      std::uint32_t* dst = image.pixels.data() + static_cast<std::size_t>(y) * width_;
      for (int x = 0; x < width_; ++x) dst[x] = (row[x / 8] >> (7 - x % 8)) & 1 ? detail::kOpaqueBlack : 0xFFFFFFFFu;
    }
    return {};
  }

  // --- ASCII rasters ------------------------------------------------------

  Result ReadAsciiSample(std::uint32_t& value, std::uint64_t index) {
    if (kind_.bitmap) {  // '0' and '1' need no separators between them
      SkipSeparators();
      if (pos_ < b_.size() && (b_[pos_] == '0' || b_[pos_] == '1')) {
        value = b_[pos_++] == '1' ? 0 : 255;  // 1 is black
        return {};
      }
    } else if (ReadNumber(value)) {
      if (value > maxValue_) return Corrupt("sample " + std::to_string(value) + " exceeds the maximum value " + std::to_string(maxValue_));
      return {};
    }
    return Corrupt("pixel data is truncated or not a number at sample " + std::to_string(index) + " of " + std::to_string(SampleCount()));
  }

  Result ReadAscii(Image& image) {
    // Every sample takes at least one character: refuse before allocating.
    if (SampleCount() > b_.size() - pos_) return Corrupt("pixel data is truncated (too few characters for the samples)");
    detail::AllocatePixels(image, width_, height_);
    const std::vector<std::uint8_t> table = kind_.bitmap ? std::vector<std::uint8_t>() : ScaleTable();
    std::uint64_t index = 0;
    std::uint8_t scaled[3];
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
      for (int c = 0; c < kind_.channels; ++c, ++index) {
        std::uint32_t v = 0;
        if (Result r = ReadAsciiSample(v, index); !r) return r;
        scaled[c] = static_cast<std::uint8_t>(kind_.bitmap ? v : table[v]);
      }
      Store(image, i, scaled);
    }
    return {};
  }

  std::span<const std::uint8_t> b_;
  std::size_t pos_ = 0;
  PnmKind kind_;
  int width_ = 0;
  int height_ = 0;
  std::uint32_t maxValue_ = 1;
};

}  // namespace

Result DecodePnm(std::span<const std::uint8_t> bytes, Image& out) { return PnmReader(bytes).Decode(out); }

Result detail::CheckPnmHead(std::span<const std::uint8_t> head, std::uint64_t fileBytes) {
  return PnmReader(head).CheckHead(head.size() < fileBytes);
}

}  // namespace kv::image
