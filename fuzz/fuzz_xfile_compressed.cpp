// libFuzzer entry for MSZIP-compressed files: the first input byte picks a
// compressed binary or a compressed text body, the rest follows a forced
// "xof 0303bzip0032" or "xof 0303tzip0032" header (size DWORD, then blocks).
//
// Build: ./setup.sh fuzz. Seeds: the compressed files of the shared test
// data, header replaced by the encoding byte:
//   mkdir -p seeds/compressed && for f in ../shared/testdata/xfile/*.[xX] ../shared/testdata/xfile/OV_GetNextToken; do
//     head -c 16 "$f" | grep -q 'bzip' && { printf '\0'; tail -c +17 "$f"; } > "seeds/compressed/$(basename "$f")"; done
// Run: build-fuzz/bin/fuzz_xfile_compressed -max_total_time=180 -rss_limit_mb=2048 corpus/compressed seeds/compressed
#include "fuzz_xfile_common.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool text = data[0] & 1;
  kv::xfile::fuzz::ParseWithHeader(text ? "xof 0303tzip0032" : "xof 0303bzip0032", data + 1, size - 1,
                                   text ? kv::xfile::Encoding::CompressedText : kv::xfile::Encoding::CompressedBinary);
  return 0;
}
