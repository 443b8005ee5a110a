// libFuzzer entry point for the BMP reader.
#include "fuzz_image_check.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kv::image::fuzz::CheckDecoder(kv::image::DecodeBmp, {data, size});
  return 0;
}
