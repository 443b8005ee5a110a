// Run-length encoded BMP pixel data: RLE8, RLE4 and OS/2 RLE24.
//
// The stream is a sequence of two-byte codes: a run (count, value), or an
// escape (0, n): end of line, end of bitmap, a delta move, or n literal
// pixels padded to an even byte count. Moves and early ends leave pixels
// unwritten; those stay 0 (transparent). A run or literal block that passes
// the end of its row, or a move outside the image, is corrupt data, never
// clipped: such a file was not written by a working encoder.
#include "korvane3d/rm/image/BmpHeader.h"
#include "korvane3d/rm/image/ImageCommon.h"

namespace kv::image::bmp {

namespace {

using detail::Argb;

// A valid stream needs at least a byte per 4096 pixels (a row takes a 2-byte
// end-of-line code, and 16384 is the widest row); anything sparser is a lie
// about the size, refused before the pixels are allocated.
constexpr std::uint64_t kMaxPixelsPerRleByte = 4096;

Result Corrupt(const std::string& what, std::size_t offset) {
  return detail::Fail(Status::Corrupt, "BMP: " + what + " (RLE data offset " + std::to_string(offset) + ")");
}

class RleDecoder {
 public:
  RleDecoder(std::span<const std::uint8_t> data, const BmpHeader& h, Image& image)
      : data_(data), h_(h), image_(image) {}

  Result Run() {
    for (;;) {
      if (Left() < 2) return EndOfData();
      const std::uint8_t count = data_[pos_], value = data_[pos_ + 1];
      pos_ += 2;
      Result r;
      if (count > 0) r = EncodedRun(count, value);
      else if (value == 0) NextLine();
      else if (value == 1) return Finish();
      else if (value == 2) r = Delta();
      else r = Literal(value);
      if (!r) return r;
    }
  }

 private:
  std::size_t Left() const { return data_.size() - pos_; }

  // Encoders that fill the whole image sometimes omit the end-of-bitmap code.
  Result EndOfData() {
    const bool complete = y_ >= h_.height || (y_ == h_.height - 1 && x_ == h_.width);
    if (!complete) return Corrupt("data ends at row " + std::to_string(y_) + " before the end-of-bitmap code", pos_);
    return Finish();
  }

  Result Finish() {
    image_.hasAlpha = written_ < static_cast<std::uint64_t>(h_.width) * h_.height;
    return {};
  }

  void NextLine() {
    x_ = 0;
    if (y_ < h_.height) ++y_;  // extra end-of-line codes after the last row change nothing
  }

  Result Delta() {
    if (Left() < 2) return Corrupt("data ends inside a delta code", pos_);
    x_ += data_[pos_];
    y_ += data_[pos_ + 1];
    pos_ += 2;
    if (x_ > h_.width || y_ > h_.height || (y_ == h_.height && x_ > 0)) return Corrupt("delta moves outside the image", pos_);
    return {};
  }

  Result CheckSpan(int count) const {
    if (y_ >= h_.height) return Corrupt("pixels past the last row", pos_);
    if (x_ + count > h_.width) return Corrupt("a run of " + std::to_string(count) + " pixels overruns row " + std::to_string(y_), pos_);
    return {};
  }

  std::uint32_t* Target() {
    const int row = h_.topDown ? y_ : h_.height - 1 - y_;
    return image_.pixels.data() + static_cast<std::size_t>(row) * h_.width + x_;
  }

  void Advance(int count) {
    x_ += count;
    written_ += static_cast<std::uint64_t>(count);
  }

  Result EncodedRun(int count, std::uint8_t value) {
    if (Result r = CheckSpan(count); !r) return r;
    std::uint32_t* dst = Target();
    if (h_.encoding == Encoding::Rle24) {
      if (Left() < 2) return Corrupt("data ends inside a 24-bit run", pos_);
      const std::uint32_t colour = Argb(255, data_[pos_ + 1], data_[pos_], value);
      pos_ += 2;
      std::fill(dst, dst + count, colour);
    } else if (h_.encoding == Encoding::Rle8) {
      std::fill(dst, dst + count, h_.palette[value]);
    } else {  // RLE4: the two nibbles alternate
      const std::uint32_t colours[2] = {h_.palette[value >> 4], h_.palette[value & 15]};
      for (int i = 0; i < count; ++i) dst[i] = colours[i & 1];
    }
    Advance(count);
    return {};
  }

  Result Literal(int count) {
    if (Result r = CheckSpan(count); !r) return r;
    const std::size_t bytes = h_.encoding == Encoding::Rle4 ? (count + 1) / 2
                              : h_.encoding == Encoding::Rle8 ? count
                                                               : 3 * static_cast<std::size_t>(count);
    if (Left() < bytes) return Corrupt("data ends inside a literal block", pos_);
    const std::uint8_t* src = data_.data() + pos_;
    std::uint32_t* dst = Target();
    for (int i = 0; i < count; ++i) {
      if (h_.encoding == Encoding::Rle8) dst[i] = h_.palette[src[i]];
      else if (h_.encoding == Encoding::Rle4) dst[i] = h_.palette[(src[i / 2] >> ((i & 1) ? 0 : 4)) & 15];
      else dst[i] = Argb(255, src[3 * i + 2], src[3 * i + 1], src[3 * i]);
    }
    pos_ += std::min(bytes + (bytes & 1), Left());  // the pad byte may be cut off at the very end
    Advance(count);
    return {};
  }

  std::span<const std::uint8_t> data_;
  const BmpHeader& h_;
  Image& image_;
  std::size_t pos_ = 0;
  int x_ = 0;
  int y_ = 0;  // row in file order
  std::uint64_t written_ = 0;
};

}  // namespace

Result DecodeRle(std::span<const std::uint8_t> data, const BmpHeader& h, Image& image) {
  const std::uint64_t pixels = static_cast<std::uint64_t>(h.width) * h.height;
  if (pixels > std::max<std::uint64_t>(65536, data.size() * kMaxPixelsPerRleByte)) {
    return detail::Fail(Status::Corrupt, "BMP: " + std::to_string(data.size()) + " bytes of RLE data cannot describe a " +
                                             std::to_string(h.width) + "x" + std::to_string(h.height) + " image");
  }
  detail::AllocatePixels(image, h.width, h.height);
  return RleDecoder(data, h, image).Run();
}

}  // namespace kv::image::bmp
