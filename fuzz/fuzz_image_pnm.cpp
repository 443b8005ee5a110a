// libFuzzer entry point for the Netpbm reader.
#include "fuzz_image_check.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kv::image::fuzz::CheckDecoder(kv::image::DecodePnm, {data, size});
  return 0;
}
