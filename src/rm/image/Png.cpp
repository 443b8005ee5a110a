// PNG reading and writing through libpng: reading from memory or straight
// from a file (as libpng asks for the bytes), writing to memory.
//
// libpng reports errors by longjmp. Every libpng call that can fail runs inside
// RunGuarded, the one function that calls setjmp; the steps it runs hold only
// trivially destructible locals, so the jump never skips a destructor. Buffers
// (the pixels, the row pointers) belong to the callers outside the guard.
#include "korvane3d/rm/image/Image.h"

#include "korvane3d/platform/win/FileAccess.h"
#include "korvane3d/rm/image/ImageCommon.h"

#include <png.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

namespace kv::image {

namespace {

using detail::Fail;

// Shared by the libpng callbacks; trivially destructible on purpose. The
// input is either in memory or a file read piece by piece.
struct PngIo {
  const std::uint8_t* input = nullptr;
  const files::InputFile* file = nullptr;
  std::uint64_t inputSize = 0;
  std::uint64_t inputPos = 0;
  std::vector<std::uint8_t>* output = nullptr;
  char message[192] = {};
};

PngIo& IoOf(png_structp png) { return *static_cast<PngIo*>(png_get_error_ptr(png)); }

void OnError(png_structp png, png_const_charp message) {
  std::snprintf(IoOf(png).message, sizeof IoOf(png).message, "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}  // ancillary trouble is not the caller's business

// False when the input ends sooner (a file may also have been cut short
// since it was opened). Its locals are gone before the caller jumps.
bool CopyInput(const PngIo& io, png_bytep to, std::size_t count) {
  if (count > io.inputSize - io.inputPos) return false;
  if (io.file) return static_cast<bool>(io.file->ReadAt(io.inputPos, {to, count}));
  std::memcpy(to, io.input + io.inputPos, count);
  return true;
}

void ReadInput(png_structp png, png_bytep to, std::size_t count) {
  PngIo& io = IoOf(png);
  if (!CopyInput(io, to, count)) png_error(png, "data is truncated");
  io.inputPos += count;
}

void WriteToMemory(png_structp png, png_bytep from, std::size_t count) {
  bool failed = false;
  try {
    IoOf(png).output->insert(IoOf(png).output->end(), from, from + count);
  } catch (...) {
    failed = true;
  }
  if (failed) png_error(png, "out of memory");
}

void FlushNothing(png_structp) {}

using PngStep = void (*)(png_structp, png_infop, void*);

// The only setjmp: returns false when libpng reported an error during `step`.
bool RunGuarded(png_structp png, png_infop info, PngStep step, void* arg) {
  if (setjmp(png_jmpbuf(png))) return false;
  step(png, info, arg);
  return true;
}

struct Header {
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, channels = 0;
  bool hasAlpha = false;
};

// Ancillary chunks that say nothing about the pixels we produce (text, time,
// colour management, histograms). libpng would allocate each one at the size
// its header claims before reading it; skipped, they cost nothing.
constexpr png_byte kIgnoredChunks[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0"
                                      "sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";

// No chunk libpng still stores can be larger than the file holding it.
void LimitMemory(png_structp png, std::size_t inputSize) {
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_set_chunk_malloc_max(png, std::max<std::size_t>(inputSize + 1, 1 << 16));
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, (sizeof kIgnoredChunks) / 5);
}

void ReadHeaderStep(png_structp png, png_infop info, void* arg) {
  auto& header = *static_cast<Header*>(arg);
  LimitMemory(png, static_cast<std::size_t>(IoOf(png).inputSize));
  png_read_info(png, info);
  header.width = png_get_image_width(png, info);
  header.height = png_get_image_height(png, info);
  header.bitDepth = png_get_bit_depth(png, info);
  header.colorType = png_get_color_type(png, info);
  header.channels = png_get_channels(png, info);
  header.hasAlpha = (header.colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
}

// Transforms every colour type and depth to 8-bit samples laid out in memory
// so that each pixel reads as one native 0xAARRGGBB word.
void SetArgbTransforms(png_structp png, png_infop info, const Header& header) {
  if (header.colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (header.colorType == PNG_COLOR_TYPE_GRAY && header.bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (header.bitDepth == 16) png_set_scale_16(png);
  if ((header.colorType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  if constexpr (std::endian::native == std::endian::little) {
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // no-op when alpha is already there
  } else {
    png_set_swap_alpha(png);
    png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
  }
}

struct PixelLayout {
  const Header* header = nullptr;
  int passes = 1;  // more than one for interlaced images
};

void StartPixelsStep(png_structp png, png_infop info, void* arg) {
  auto& layout = *static_cast<PixelLayout*>(arg);
  SetArgbTransforms(png, info, *layout.header);
  layout.passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<std::size_t>(layout.header->width) * 4) {
    png_error(png, "unexpected row layout after colour conversion");
  }
}

void ReadRowStep(png_structp png, png_infop, void* row) { png_read_row(png, static_cast<png_bytep>(row), nullptr); }
void ReadImageStep(png_structp png, png_infop, void* rows) { png_read_image(png, static_cast<png_bytepp>(rows)); }
void ReadEndStep(png_structp png, png_infop, void*) { png_read_end(png, nullptr); }

struct ReadHandles {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~ReadHandles() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

Result PngFailure(const PngIo& io) { return Fail(Status::Corrupt, std::string("PNG: ") + io.message); }

std::uint32_t ReadBe32(std::span<const std::uint8_t> b, std::size_t at) {
  return (static_cast<std::uint32_t>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

// libpng turns an over-limit size into a generic "Invalid IHDR data"; the
// size is read here first so that it is reported as what it is.
Result CheckClaimedSize(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 24 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) return {};
  const std::uint32_t width = ReadBe32(bytes, 16), height = ReadBe32(bytes, 20);
  if (width == 0 || height == 0) return {};  // libpng's own check names the field
  return detail::CheckDimensions("PNG", width, height);
}

// zlib expands at most about 1032:1; a header whose image cannot come out of
// the bytes present is rejected before the pixels are allocated.
Result CheckCompressedSize(const Header& header, std::uint64_t fileBytes) {
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(header.width) * header.channels * header.bitDepth + 7) / 8;
  const std::uint64_t filtered = (rowBytes + 1) * header.height;
  if (filtered > fileBytes * 1032 + 4096) {
    return Fail(Status::Corrupt, "PNG: image data is far too short for a " + std::to_string(header.width) + "x" +
                                     std::to_string(header.height) + " image");
  }
  return {};
}

png_bytep RowOf(Image& image, png_uint_32 y) {
  return reinterpret_cast<png_bytep>(image.pixels.data() + static_cast<std::size_t>(y) * image.width);
}

// Rows of a plain image are added as they decode, so data that breaks off
// early costs only the rows it held; every pass of an interlaced image
// revisits every row, so those get all their pixels at once.
bool ReadPixels(png_structp png, png_infop info, const PixelLayout& layout, Image& image) {
  const png_uint_32 height = layout.header->height;
  if (layout.passes > 1) {
    detail::AllocatePixels(image, static_cast<int>(layout.header->width), static_cast<int>(height));
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = RowOf(image, y);
    return RunGuarded(png, info, ReadImageStep, rows.data());
  }
  image.width = static_cast<int>(layout.header->width);
  image.height = static_cast<int>(height);
  image.pixels.reserve(static_cast<std::size_t>(image.width) * height);  // address space only, untouched
  for (png_uint_32 y = 0; y < height; ++y) {
    image.pixels.resize(image.pixels.size() + static_cast<std::size_t>(image.width));
    if (!RunGuarded(png, info, ReadRowStep, RowOf(image, y))) return false;
  }
  return true;
}

}  // namespace

Result detail::CheckPngHead(std::span<const std::uint8_t> head, std::uint64_t fileBytes) {
  if (Result r = CheckClaimedSize(head); !r) return r;
  if (head.size() < 26 || std::memcmp(head.data() + 12, "IHDR", 4) != 0) return {};
  Header header;
  header.width = ReadBe32(head, 16);
  header.height = ReadBe32(head, 20);
  header.bitDepth = head[24];
  header.colorType = head[25];
  constexpr int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};  // by colour type; 0: no such type
  header.channels = header.colorType < 7 ? kChannels[header.colorType] : 0;
  // Sizes and types libpng refuses are left to it: it names the field.
  if (header.width == 0 || header.height == 0 || header.channels == 0) return {};
  return CheckCompressedSize(header, fileBytes);
}

namespace {

Result DecodeFrom(PngIo& io, Image& out) {
  ReadHandles handles;
  handles.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, OnError, OnWarning);
  if (handles.png) handles.info = png_create_info_struct(handles.png);
  if (!handles.info) return Fail(Status::Corrupt, "PNG: out of memory");
  png_set_read_fn(handles.png, &io, ReadInput);

  Header header;
  if (!RunGuarded(handles.png, handles.info, ReadHeaderStep, &header)) return PngFailure(io);
  if (Result r = detail::CheckDimensions("PNG", header.width, header.height); !r) return r;
  if (Result r = CheckCompressedSize(header, io.inputSize); !r) return r;

  PixelLayout layout{&header};
  if (!RunGuarded(handles.png, handles.info, StartPixelsStep, &layout)) return PngFailure(io);
  Image image;
  if (!ReadPixels(handles.png, handles.info, layout, image)) return PngFailure(io);
  if (!RunGuarded(handles.png, handles.info, ReadEndStep, nullptr)) return PngFailure(io);
  image.hasAlpha = header.hasAlpha;
  out = std::move(image);
  return {};
}

}  // namespace

Result DecodePng(std::span<const std::uint8_t> bytes, Image& out) {
  if (DetectFormat(bytes) != Format::Png) return Fail(Status::UnknownFormat, "PNG: signature not found");
  if (Result r = CheckClaimedSize(bytes); !r) return r;
  PngIo io;
  io.input = bytes.data();
  io.inputSize = bytes.size();
  return DecodeFrom(io, out);
}

Result detail::DecodePngFile(const files::InputFile& file, Image& out) {
  PngIo io;
  io.file = &file;
  io.inputSize = file.Size();
  return DecodeFrom(io, out);
}

namespace {

struct WriteJob {
  const Image* image = nullptr;
  bool withAlpha = false;
  png_bytepp rows = nullptr;
};

void WriteStep(png_structp png, png_infop info, void* arg) {
  const auto& job = *static_cast<WriteJob*>(arg);
  png_set_IHDR(png, info, static_cast<png_uint_32>(job.image->width), static_cast<png_uint_32>(job.image->height), 8,
               job.withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  // Native 0xAARRGGBB words: drop or move the alpha byte as the file wants it.
  if constexpr (std::endian::native == std::endian::little) {
    png_set_bgr(png);
    if (!job.withAlpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
  } else {
    if (job.withAlpha) png_set_swap_alpha(png);
    else png_set_filler(png, 0, PNG_FILLER_BEFORE);
  }
  png_write_image(png, job.rows);
  png_write_end(png, nullptr);
}

struct WriteHandles {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~WriteHandles() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

Result CheckWritable(const Image& image) {
  if (Result r = detail::CheckDimensions("PNG", image.width, image.height); !r) return r;
  const auto expected = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
  if (image.pixels.size() != expected) {
    return Fail(Status::Corrupt, "PNG: the image holds " + std::to_string(image.pixels.size()) + " pixels, " +
                                     std::to_string(image.width) + "x" + std::to_string(image.height) + " needs " +
                                     std::to_string(expected));
  }
  return {};
}

}  // namespace

Result EncodePng(const Image& image, std::vector<std::uint8_t>& out, bool withAlpha) {
  if (Result r = CheckWritable(image); !r) return r;
  std::vector<std::uint8_t> encoded;
  PngIo io;
  io.output = &encoded;
  WriteHandles handles;
  handles.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, OnError, OnWarning);
  if (handles.png) handles.info = png_create_info_struct(handles.png);
  if (!handles.info) return Fail(Status::Corrupt, "PNG: out of memory");
  png_set_write_fn(handles.png, &io, WriteToMemory, FlushNothing);

  std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    // libpng only reads the rows it is given; its API is not const-qualified.
    rows[y] = reinterpret_cast<png_bytep>(const_cast<std::uint32_t*>(image.pixels.data()) +
                                          static_cast<std::size_t>(y) * image.width);
  }
  WriteJob job{&image, withAlpha, rows.data()};
  if (!RunGuarded(handles.png, handles.info, WriteStep, &job)) return PngFailure(io);
  out.insert(out.end(), encoded.begin(), encoded.end());
  return {};
}

Result SavePng(std::string_view path, const Image& image, bool withAlpha) {
  std::vector<std::uint8_t> encoded;
  if (Result r = EncodePng(image, encoded, withAlpha); !r) return r;
  const files::Result written = files::ReplaceFile(std::string(path), encoded);
  if (!written) return Fail(Status::FileNotFound, written.message);
  return {};
}

}  // namespace kv::image
