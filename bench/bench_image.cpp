// Decode throughput of the image readers on a 1024x1024 picture made in
// memory, one benchmark per format and encoding; whole loads from files;
// plus PNG encoding.
#include "korvane3d/rm/image/Image.h"

#include "../tests/rm/image/BmpBuilder.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace kv;

namespace {

using kv::image::Image;
using kv::image::test::BmpLayout;
using kv::image::test::BuildBmp;
using kv::image::test::Bytes;

constexpr int kSide = 1024;

const Image& Picture() {
  static const Image picture = kv::image::test::Gradient(kSide, kSide, true);
  return picture;
}

// Palette index of a pixel: bands of 16 pixels so that RLE has runs to find.
std::uint8_t BandIndex(int x, int y) { return static_cast<std::uint8_t>((x / 16 + y / 16) & 255); }

Bytes IndexedRows() {
  Bytes rows(static_cast<std::size_t>(kSide) * kSide);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) rows[static_cast<std::size_t>(y) * kSide + x] = BandIndex(x, y);
  return rows;
}

std::vector<std::uint32_t> GreyPalette() {
  std::vector<std::uint32_t> palette(256);
  for (std::uint32_t i = 0; i < 256; ++i) palette[i] = i * 0x010101u;
  return palette;
}

Bytes Rle8Stream() {
  Bytes stream;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide;) {
      int run = 1;
      while (x + run < kSide && run < 255 && BandIndex(x + run, y) == BandIndex(x, y)) ++run;
      stream.push_back(static_cast<std::uint8_t>(run));
      stream.push_back(BandIndex(x, y));
      x += run;
    }
    stream.insert(stream.end(), {0, 0});
  }
  stream.insert(stream.end(), {0, 1});
  return stream;
}

Bytes Bgra32Rows() {
  Bytes rows;
  for (int y = kSide - 1; y >= 0; --y) {
    for (int x = 0; x < kSide; ++x) {
      const std::uint32_t p = Picture().At(x, y);
      rows.insert(rows.end(), {static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 8),
                               static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 24)});
    }
  }
  return rows;
}

Bytes Ppm(bool ascii, int maxValue) {
  std::string text = std::string(ascii ? "P3\n" : "P6\n") + std::to_string(kSide) + " " + std::to_string(kSide) + "\n" +
                     std::to_string(maxValue) + "\n";
  Bytes bytes(text.begin(), text.end());
  for (std::uint32_t p : Picture().pixels) {
    for (int shift : {16, 8, 0}) {
      const std::uint32_t v = ((p >> shift) & 255) * maxValue / 255;
      if (ascii) {
        const std::string s = std::to_string(v) + " ";
        bytes.insert(bytes.end(), s.begin(), s.end());
      } else if (maxValue > 255) {
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
      } else {
        bytes.push_back(static_cast<std::uint8_t>(v));
      }
    }
  }
  return bytes;
}

Bytes Png(bool withAlpha) {
  Bytes bytes;
  kv::image::EncodePng(Picture(), bytes, withAlpha);
  return bytes;
}

template <typename Make>
void Decode(benchmark::State& state, Make make) {
  const Bytes bytes = make();
  Image image;
  for (auto _ : state) {
    if (!kv::image::Decode(bytes, image)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
  state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

void BM_DecodeBmp24(benchmark::State& s) {
  Decode(s, [] { return BuildBmp({.width = kSide, .height = kSide, .pixelData = kv::image::test::Bgr24Rows(Picture())}); });
}
void BM_DecodeBmp8(benchmark::State& s) {
  Decode(s, [] { return BuildBmp({.width = kSide, .height = kSide, .bitCount = 8, .palette = GreyPalette(), .pixelData = IndexedRows()}); });
}
void BM_DecodeBmpRle8(benchmark::State& s) {
  Decode(s, [] { return BuildBmp({.width = kSide, .height = kSide, .bitCount = 8, .compression = 1, .palette = GreyPalette(), .pixelData = Rle8Stream()}); });
}
void BM_DecodeBmp32Alpha(benchmark::State& s) {
  Decode(s, [] {
    return BuildBmp({.width = kSide, .height = kSide, .bitCount = 32, .compression = 3, .infoSize = 124,
                     .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, .pixelData = Bgra32Rows()});
  });
}
void BM_DecodePpmBinary(benchmark::State& s) { Decode(s, [] { return Ppm(false, 255); }); }
void BM_DecodePpm16Bit(benchmark::State& s) { Decode(s, [] { return Ppm(false, 65535); }); }
void BM_DecodePpmAscii(benchmark::State& s) { Decode(s, [] { return Ppm(true, 255); }); }
void BM_DecodePngRgb(benchmark::State& s) { Decode(s, [] { return Png(false); }); }
void BM_DecodePngRgba(benchmark::State& s) { Decode(s, [] { return Png(true); }); }

// Whole loads from files (in the page cache after the first): open, read,
// decode.
template <typename Make>
void LoadFile(benchmark::State& state, const char* name, Make make) {
  const Bytes bytes = make();
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("bench_image_" + std::to_string(::getpid()) + "_" + name);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  Image image;
  for (auto _ : state) {
    if (!kv::image::LoadImageFile(path.string(), image)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(image.pixels.data());
  }
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_LoadBmp24File(benchmark::State& s) {
  LoadFile(s, "24.bmp", [] { return BuildBmp({.width = kSide, .height = kSide, .pixelData = kv::image::test::Bgr24Rows(Picture())}); });
}
void BM_LoadPngRgbFile(benchmark::State& s) { LoadFile(s, "rgb.png", [] { return Png(false); }); }

void BM_EncodePngRgba(benchmark::State& state) {
  Bytes bytes;
  for (auto _ : state) {
    bytes.clear();
    kv::image::EncodePng(Picture(), bytes, true);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

BENCHMARK(BM_DecodeBmp24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBmp8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBmpRle8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBmp32Alpha)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePpmBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePpm16Bit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePpmAscii)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePngRgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePngRgba)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBmp24File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPngRgbFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodePngRgba)->Unit(benchmark::kMillisecond);

}  // namespace
