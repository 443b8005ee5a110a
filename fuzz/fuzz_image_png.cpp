// libFuzzer entry point for the PNG reader; whatever decodes must also
// survive a write and read back unchanged.
#include "fuzz_image_check.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kv::image::Image image = kv::image::fuzz::CheckDecoder(kv::image::DecodePng, {data, size});
  if (image.pixels.empty() || image.pixels.size() > 1u << 20) return 0;
  std::vector<std::uint8_t> encoded;
  kv::image::Image again;
  if (!kv::image::EncodePng(image, encoded, true) || !kv::image::DecodePng(encoded, again) || again.pixels != image.pixels) {
    std::abort();
  }
  return 0;
}
