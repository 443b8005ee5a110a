// libFuzzer entry for the text encoding: the input is the body after a
// forced "xof 0303txt 0032" header. Whatever loads must also write and load
// back to the same record.
//
// Build: ./setup.sh fuzz. Seeds: the text files of the shared test data,
// without their 16-byte header:
//   mkdir -p seeds/text && for f in ../shared/testdata/xfile/*.[xX]; do
//     head -c 16 "$f" | grep -q 'txt ' && tail -c +17 "$f" > "seeds/text/$(basename "$f")"; done
// Run: build-fuzz/bin/fuzz_xfile_text -max_total_time=180 -rss_limit_mb=2048 corpus/text seeds/text
#include "fuzz_xfile_common.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kv::xfile::fuzz::ParseWithHeader("xof 0303txt 0032", data, size, kv::xfile::Encoding::Text);
  return 0;
}
