// Shared helpers for the image tests: sample files and pixel comparisons.
#pragma once

#include "korvane3d/rm/image/Image.h"
#include "BmpBuilder.h"
#include "support/SharedTestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kv::image {
// Lets GoogleTest print statuses by name.
inline void PrintTo(Status status, std::ostream* os) { *os << StatusName(status); }
}  // namespace kv::image

namespace kv::image::test {

inline std::filesystem::path TestdataDir() { return kvtest::SharedTestDataDir(); }

inline Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

inline Image LoadOrFail(const std::filesystem::path& path) {
  Image image;
  const Result r = LoadImageFile(path.string(), image);
  EXPECT_TRUE(r) << path << ": " << StatusName(r.status) << " " << r.message;
  return image;
}

inline int ChannelDiff(std::uint32_t a, std::uint32_t b, int shift) {
  return std::abs(static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255));
}

// Largest difference of any colour channel (alpha ignored unless asked).
inline int MaxDifference(const Image& a, const Image& b, bool withAlpha = false) {
  int worst = 0;
  for (std::size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) {
    for (int shift = 0; shift < (withAlpha ? 32 : 24); shift += 8) worst = std::max(worst, ChannelDiff(a.pixels[i], b.pixels[i], shift));
  }
  return worst;
}

inline ::testing::AssertionResult SamePicture(const Image& a, const Image& b, int tolerance, bool withAlpha = false) {
  if (a.width != b.width || a.height != b.height) {
    return ::testing::AssertionFailure() << "sizes differ: " << a.width << "x" << a.height << " vs " << b.width << "x" << b.height;
  }
  if (a.pixels.size() != b.pixels.size()) return ::testing::AssertionFailure() << "pixel counts differ";
  const int diff = MaxDifference(a, b, withAlpha);
  if (diff > tolerance) return ::testing::AssertionFailure() << "channels differ by up to " << diff << " (tolerance " << tolerance << ")";
  return ::testing::AssertionSuccess();
}

}  // namespace kv::image::test
