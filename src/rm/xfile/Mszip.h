// MSZIP, the compression of "tzip" and "bzip" files: after the 16-byte header
// a DWORD gives the size of the whole uncompressed file (header included),
// then blocks follow to the end of the file, each a WORD uncompressed size
// (at most 32768), a WORD compressed size counting the "CK" signature, "CK"
// and a raw deflate stream.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "korvane3d/rm/xfile/Tokens.h"

namespace kv::xfile::detail {

inline constexpr std::size_t kMszipBlockSize = 32768;
// Largest uncompressed file accepted; larger declared sizes give TooLarge.
inline constexpr std::uint64_t kMaxUncompressedSize = std::uint64_t{1} << 31;

// Inflates a whole compressed file (header included) into out, which then
// holds the header followed by the uncompressed body, so offsets into it
// count as in an uncompressed file. Each block may refer back into the
// previous block's output. Returns false after recording the failure.
bool MszipDecompress(std::span<const std::uint8_t> file, std::vector<std::uint8_t>& out,
                     ErrorState& errors);

// Appends the size DWORD and the blocks for body (the bytes after the
// header) to out. Each block is compressed on its own, so readers that
// inflate blocks independently accept the result too.
void MszipCompress(std::span<const std::uint8_t> body, std::vector<std::uint8_t>& out);

}  // namespace kv::xfile::detail
