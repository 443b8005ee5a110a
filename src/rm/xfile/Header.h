// The 16-byte header of a DirectX file: "xof " + version + encoding + float size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "korvane3d/rm/xfile/XFile.h"

namespace kv::xfile::detail {

inline constexpr std::size_t kHeaderSize = 16;

// Reads the header at the start of bytes into info (encoding, float size and
// version). On failure returns false and sets message.
bool ReadHeader(std::span<const std::uint8_t> bytes, FileInfo& info, std::string& message);

// The 16 header bytes for a file written with these settings.
std::string MakeHeader(Encoding encoding, int floatBits);

}  // namespace kv::xfile::detail
