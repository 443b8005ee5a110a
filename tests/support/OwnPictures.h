// Image files of our own making for tests that need a texture or a
// background image on disk: every channel varies, so a drawn texture shows
// many colours.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "korvane3d/rm/image/Image.h"
#include "rm/image/BmpBuilder.h"

namespace kvtest {

// Writes a width x height picture as `file` in the format its extension
// names: ".bmp" (24 bits), ".png" or ".ppm"; returns the path, or an empty
// text when the extension is none of these or the file cannot be written.
inline std::string WritePicture(const std::filesystem::path& file, int width = 16, int height = 16) {
  const kv::image::Image picture = kv::image::test::Gradient(width, height);
  const std::string extension = file.extension().string();
  std::vector<std::uint8_t> bytes;
  if (extension == ".bmp") {
    kv::image::test::BmpLayout layout;
    layout.width = width;
    layout.height = height;
    layout.pixelData = kv::image::test::Bgr24Rows(picture);
    bytes = kv::image::test::BuildBmp(layout);
  } else if (extension == ".png") {
    if (!kv::image::EncodePng(picture, bytes)) return {};
  } else if (extension == ".ppm") {
    const std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    bytes.assign(header.begin(), header.end());
    for (std::uint32_t p : picture.pixels) bytes.insert(bytes.end(), {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
  } else {
    return {};
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return out ? file.string() : std::string();
}

}  // namespace kvtest
