#include "rm/xfile/Tokens.h"

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

}  // namespace kv::xfile::detail
