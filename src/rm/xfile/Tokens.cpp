#include "korvane3d/rm/xfile/Tokens.h"

namespace kv::xfile::detail {

std::string_view Describe(TokenKind kind) {
  switch (kind) {
    case TokenKind::End: return "end of file";
    case TokenKind::Name: return "a name";
    case TokenKind::String: return "a string";
    case TokenKind::Integer: return "an integer";
    case TokenKind::Float: return "a number";
    case TokenKind::Guid: return "a GUID";
    case TokenKind::OpenBrace: return "'{'";
    case TokenKind::CloseBrace: return "'}'";
    case TokenKind::OpenBracket: return "'['";
    case TokenKind::CloseBracket: return "']'";
    case TokenKind::OpenParen: return "'('";
    case TokenKind::CloseParen: return "')'";
    case TokenKind::Dot: return "'.'";
    case TokenKind::Template: return "\"template\"";
    case TokenKind::Array: return "\"array\"";
    case TokenKind::Type: return "a type keyword";
  }
  return "a token";
}

bool TokenSource::ReadFaceArray(std::uint32_t count, std::vector<std::uint32_t>& sizes,
                                std::vector<std::uint32_t>& indices) {
  sizes.reserve(sizes.size() + count);
  for (std::uint32_t f = 0; f < count; ++f) {
    std::uint32_t corners = 0;
    if (!ReadUint(corners)) return false;
    if (corners == 0 || corners > MaxValuesLeft()) return FaceCornerError(f, corners);
    sizes.push_back(corners);
    const std::size_t at = indices.size();
    indices.resize(at + corners);
    if (!ReadUints(indices.data() + at, corners)) return false;
  }
  return true;
}

bool TokenSource::FaceCornerError(std::uint32_t face, std::uint32_t corners) {
  return errors_.Fail(Status::BadFile,
                      "face " + std::to_string(face) +
                          (corners == 0 ? std::string(" has no corners")
                                        : " has " + std::to_string(corners) + " corners, more than the file holds"),
                      Offset());
}

}  // namespace kv::xfile::detail
