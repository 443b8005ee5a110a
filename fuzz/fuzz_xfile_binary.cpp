// libFuzzer entry for the binary encoding: the first input byte picks 32- or
// 64-bit floats, the rest is the body after a forced "xof 0303bin " header.
// Whatever loads must also write and load back to the same record.
//
// Build: ./setup.sh fuzz. Seeds: the binary files of the shared test data,
// header replaced by the float-size byte:
//   mkdir -p seeds/binary && for f in ../shared/testdata/xfile/*.[xX]; do
//     head -c 16 "$f" | grep -q 'bin ' && { printf '\0'; tail -c +17 "$f"; } > "seeds/binary/$(basename "$f")"; done
// Run: build-fuzz/bin/fuzz_xfile_binary -max_total_time=180 -rss_limit_mb=2048 corpus/binary seeds/binary
#include "fuzz_xfile_common.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char* header = data[0] & 1 ? "xof 0303bin 0064" : "xof 0303bin 0032";
  kv::xfile::fuzz::ParseWithHeader(header, data + 1, size - 1, kv::xfile::Encoding::Binary);
  return 0;
}
