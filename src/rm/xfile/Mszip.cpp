#include "korvane3d/rm/xfile/Mszip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "korvane3d/rm/xfile/Header.h"

namespace kv::xfile::detail {
namespace {

// Smallest possible block: 4 size bytes, "CK" and a 2-byte deflate stream.
constexpr std::size_t kMinBlockBytes = 8;
// Mesh files inflate to a few times their size; the output reserves room
// for this much (at most the declared size) and grows beyond it if needed.
constexpr std::uint64_t kReservedRatio = 8;

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}
void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}
void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutLe16(out, v & 0xffff);
  PutLe16(out, v >> 16);
}

struct InflateStream {
  z_stream z{};
  bool ready = false;
  InflateStream() { ready = inflateInit2(&z, -MAX_WBITS) == Z_OK; }
  ~InflateStream() {
    if (ready) inflateEnd(&z);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
};

// Inflates one block's deflate stream into exactly `size` bytes at out.
bool InflateBlock(InflateStream& stream, std::span<const std::uint8_t> deflated, std::uint8_t* out,
                  std::size_t size, std::span<const std::uint8_t> dictionary) {
  z_stream& z = stream.z;
  if (inflateReset(&z) != Z_OK) return false;
  if (!dictionary.empty() &&
      inflateSetDictionary(&z, dictionary.data(), uInt(dictionary.size())) != Z_OK)
    return false;
  z.next_in = const_cast<Bytef*>(deflated.data());
  z.avail_in = uInt(deflated.size());
  z.next_out = out;
  z.avail_out = uInt(size);
  const int rc = inflate(&z, Z_FINISH);
  return rc == Z_STREAM_END && z.avail_out == 0;
}

}  // namespace

bool MszipDecompress(std::span<const std::uint8_t> file, std::vector<std::uint8_t>& out,
                     ErrorState& errors) {
  if (file.size() < kHeaderSize + 4)
    return errors.Fail(Status::BadFile, "compressed file ends before its size field", kHeaderSize);
  const std::uint64_t declared = Le32(file.data() + kHeaderSize);
  const std::size_t blocksStart = kHeaderSize + 4;
  const std::uint64_t blockRoom = (file.size() - blocksStart) / kMinBlockBytes;
  if (declared < kHeaderSize)
    return errors.Fail(Status::BadFile, "compressed file declares a size smaller than its header",
                       kHeaderSize);
  if (declared > kMaxUncompressedSize)
    return errors.Fail(Status::TooLarge,
                       "compressed file declares " + std::to_string(declared) + " bytes",
                       kHeaderSize);
  if (declared - kHeaderSize > blockRoom * kMszipBlockSize)
    return errors.Fail(Status::BadFile,
                       "compressed file declares " + std::to_string(declared) +
                           " bytes, more than its blocks can hold",
                       kHeaderSize);

  // The declared size is only a claim: the output grows as blocks inflate,
  // so a file that goes wrong early costs what it produced, not what it
  // declared. The room set aside up front is address space, not memory.
  out.assign(file.begin(), file.begin() + kHeaderSize);
  out.reserve(std::size_t(std::min<std::uint64_t>(declared, kHeaderSize + std::uint64_t(file.size()) * kReservedRatio)));
  InflateStream stream;
  if (!stream.ready) return errors.Fail(Status::TooLarge, "cannot start the decompressor", 0);
  std::size_t in = blocksStart, produced = kHeaderSize, previousStart = 0;
  int block = 0;
  while (in < file.size()) {
    const std::string where = "compressed block " + std::to_string(block);
    if (file.size() - in < 6) return errors.Fail(Status::BadFile, where + " is cut short", in);
    const std::size_t rawSize = Le16(file.data() + in);
    const std::size_t packedSize = Le16(file.data() + in + 2);
    if (file[in + 4] != 'C' || file[in + 5] != 'K')
      return errors.Fail(Status::BadFile, where + " lacks its \"CK\" signature", in + 4);
    if (rawSize == 0 || rawSize > kMszipBlockSize || packedSize < 2 ||
        packedSize - 2 > file.size() - in - 6)
      return errors.Fail(Status::BadFile, where + " has impossible sizes", in);
    if (rawSize > declared - produced)
      return errors.Fail(Status::BadFile, where + " overruns the declared size", in);
    out.resize(produced + rawSize);
    const std::span<const std::uint8_t> dictionary =
        block == 0 ? std::span<const std::uint8_t>{}
                   : std::span<const std::uint8_t>(out.data() + previousStart, produced - previousStart);
    if (!InflateBlock(stream, file.subspan(in + 6, packedSize - 2), out.data() + produced, rawSize,
                      dictionary))
      return errors.Fail(Status::BadFile,
                         where + " does not inflate to the " + std::to_string(rawSize) +
                             " bytes it declares",
                         in);
    previousStart = produced;
    produced += rawSize;
    in += 4 + packedSize;
    ++block;
  }
  if (produced != declared)
    return errors.Fail(Status::BadFile,
                       "compressed file holds " + std::to_string(produced) + " bytes, not the " +
                           std::to_string(declared) + " it declares",
                       file.size());
  return true;
}

void MszipCompress(std::span<const std::uint8_t> body, std::vector<std::uint8_t>& out) {
  PutLe32(out, std::uint32_t(body.size() + kHeaderSize));
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return;
  const uLong bound = deflateBound(&z, kMszipBlockSize);
  for (std::size_t at = 0; at < body.size(); at += kMszipBlockSize) {
    const std::size_t rawSize = std::min(kMszipBlockSize, body.size() - at);
    const std::size_t blockStart = out.size();
    out.resize(blockStart + 6 + bound);
    deflateReset(&z);
    z.next_in = const_cast<Bytef*>(body.data() + at);
    z.avail_in = uInt(rawSize);
    z.next_out = out.data() + blockStart + 6;
    z.avail_out = uInt(bound);
    deflate(&z, Z_FINISH);  // the bound guarantees one call finishes the stream
    const std::size_t packed = bound - z.avail_out;
    std::uint8_t* head = out.data() + blockStart;
    head[0] = std::uint8_t(rawSize);
    head[1] = std::uint8_t(rawSize >> 8);
    head[2] = std::uint8_t(packed + 2);
    head[3] = std::uint8_t((packed + 2) >> 8);
    head[4] = 'C';
    head[5] = 'K';
    out.resize(blockStart + 6 + packed);
  }
  deflateEnd(&z);
}

}  // namespace kv::xfile::detail
