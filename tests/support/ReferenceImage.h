// Compares a rendered picture with a reference PNG stored beside the tests.
// A picture may differ from its reference by at most `maxChannel` in any
// channel of any pixel and by `meanChannel` on average; a failing or missing
// comparison writes the actual picture (and the difference, eight times
// amplified) into `outDir` so it can be looked at or adopted, named after the
// reference or after `outName` when given.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "korvane3d/rm/image/Image.h"

namespace kvtest {

using namespace kv;

struct ImageTolerance {
  int maxChannel = 16;
  double meanChannel = 0.5;
};

inline void CompareWithReferencePng(const kv::image::Image& actual, const std::filesystem::path& reference,
                                    const std::filesystem::path& outDir, ImageTolerance tolerance = {},
                                    const std::string& outName = {}) {
  const std::string name = outName.empty() ? reference.stem().string() : outName;
  std::filesystem::create_directories(outDir);
  kv::image::Image expected;
  if (!kv::image::LoadImageFile(reference.string(), expected)) {
    kv::image::SavePng((outDir / (name + ".png")).string(), actual);
    FAIL() << "no reference picture " << reference << "; the actual one is in " << outDir;
  }
  ASSERT_EQ(expected.width, actual.width);
  ASSERT_EQ(expected.height, actual.height);
  int worst = 0;
  double sum = 0;
  kv::image::Image diff = actual;
  for (std::size_t i = 0; i < actual.pixels.size(); ++i) {
    std::uint32_t d = 0xFF000000u;
    for (int shift : {0, 8, 16}) {
      const int delta = std::abs(static_cast<int>((actual.pixels[i] >> shift) & 255) -
                                 static_cast<int>((expected.pixels[i] >> shift) & 255));
      worst = std::max(worst, delta);
      sum += delta;
      d |= static_cast<std::uint32_t>(std::min(255, delta * 8)) << shift;
    }
    diff.pixels[i] = d;
  }
  const double mean = sum / (3.0 * static_cast<double>(actual.pixels.size()));
  if (worst > tolerance.maxChannel || mean > tolerance.meanChannel) {
    kv::image::SavePng((outDir / (name + "-actual.png")).string(), actual);
    kv::image::SavePng((outDir / (name + "-diff.png")).string(), diff);
    ADD_FAILURE() << name << ": worst channel difference " << worst << ", mean " << mean << "; pictures in "
                  << outDir;
  }
}

}  // namespace kvtest
