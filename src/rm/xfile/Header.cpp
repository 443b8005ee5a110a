#include "korvane3d/rm/xfile/Header.h"

#include <cstring>
#include <string_view>

namespace kv::xfile::detail {
namespace {

std::string_view Field(std::span<const std::uint8_t> bytes, std::size_t at) {
  return {reinterpret_cast<const char*>(bytes.data()) + at, 4};
}

std::string Printable(std::string_view field) {
  std::string out;
  for (char c : field) out += (c >= 0x20 && c < 0x7f) ? c : '?';
  return out;
}

}  // namespace

bool ReadHeader(std::span<const std::uint8_t> bytes, FileInfo& info, std::string& message) {
  if (bytes.size() < kHeaderSize) {
    message = bytes.empty() ? "empty file" : "file too short for a DirectX file header";
    return false;
  }
  if (Field(bytes, 0) != "xof ") {
    message = "not a DirectX file (no \"xof \" signature)";
    return false;
  }
  const std::string_view version = Field(bytes, 4);
  if (version != "0302" && version != "0303") {
    message = "unsupported file version \"" + Printable(version) + "\"";
    return false;
  }
  const std::string_view format = Field(bytes, 8);
  if (format == "txt ") info.encoding = Encoding::Text;
  else if (format == "bin ") info.encoding = Encoding::Binary;
  else if (format == "tzip") info.encoding = Encoding::CompressedText;
  else if (format == "bzip") info.encoding = Encoding::CompressedBinary;
  else {
    message = "unknown encoding \"" + Printable(format) + "\"";
    return false;
  }
  const std::string_view floatSize = Field(bytes, 12);
  if (floatSize == "0032") info.floatBits = 32;
  else if (floatSize == "0064") info.floatBits = 64;
  else {
    message = "unsupported float size \"" + Printable(floatSize) + "\"";
    return false;
  }
  info.majorVersion = 3;
  info.minorVersion = version[3] - '0';
  return true;
}

std::string MakeHeader(Encoding encoding, int floatBits) {
  std::string header = "xof 0303";
  switch (encoding) {
    case Encoding::Text: header += "txt "; break;
    case Encoding::Binary: header += "bin "; break;
    case Encoding::CompressedText: header += "tzip"; break;
    case Encoding::CompressedBinary: header += "bzip"; break;
  }
  header += floatBits == 64 ? "0064" : "0032";
  return header;
}

}  // namespace kv::xfile::detail
