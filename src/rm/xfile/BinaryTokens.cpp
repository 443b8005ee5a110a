#include "korvane3d/rm/xfile/BinaryTokens.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace kv::xfile::detail {
namespace {

std::uint32_t LoadLe32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

void CopyDwords(const std::uint8_t* from, std::uint32_t* to, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(to, from, count * 4);
  } else {
    for (std::size_t i = 0; i < count; ++i) to[i] = LoadLe32(from + 4 * i);
  }
}

void CopyFloats(const std::uint8_t* from, float* to, std::size_t count, std::size_t bytes) {
  if (bytes == 4) {
    static_assert(sizeof(float) == 4);
    CopyDwords(from, reinterpret_cast<std::uint32_t*>(to), count);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t bits = LoadLe32(from + 8 * i) | std::uint64_t(LoadLe32(from + 8 * i + 4)) << 32;
    to[i] = float(std::bit_cast<double>(bits));
  }
}

// Infinities and NaN (stored, or a double beyond the float range) would
// poison every bound, normal and picture computed from them. Returns count
// when all are finite.
std::size_t FirstNonFinite(const float* values, std::size_t count) {
  // All exponent bits set: an infinity or NaN. A minimum over integers, so
  // that the loop vectorises: it is zero when some value has them all set.
  constexpr std::uint32_t kExponent = 0x7f800000u;
  std::uint32_t least = kExponent;
  for (std::size_t i = 0; i < count; ++i)
    least = std::min(least, (std::bit_cast<std::uint32_t>(values[i]) & kExponent) ^ kExponent);
  if (least != 0) return count;
  return std::size_t(std::find_if(values, values + count, [](float v) { return !std::isfinite(v); }) - values);
}

struct TypeCode {
  std::uint16_t code;
  Primitive type;
};
constexpr TypeCode kTypes[] = {
    {kWord, Primitive::Word},   {kDword, Primitive::Dword},     {kFloat, Primitive::Float},
    {kDouble, Primitive::Double}, {kChar, Primitive::Char},     {kUchar, Primitive::Uchar},
    {kSword, Primitive::Sword}, {kSdword, Primitive::Sdword},   {kVoid, Primitive::Void},
    {kLpstr, Primitive::Lpstr}, {kUnicode, Primitive::Unicode}, {kCstring, Primitive::Cstring},
};

}  // namespace

BinaryTokens::BinaryTokens(std::span<const std::uint8_t> file, std::size_t start, int floatBits,
                           ErrorState& errors)
    : TokenSource(errors),
      begin_(file.data()),
      p_(file.data() + start),
      end_(file.data() + file.size()),
      floatBytes_(floatBits == 64 ? 8 : 4) {}

bool BinaryTokens::Fail(std::string message, const std::uint8_t* at) {
  return errors_.Fail(Status::BadFile, std::move(message), std::size_t(at - begin_));
}

bool BinaryTokens::ReadWord(std::uint16_t& value) {
  if (end_ - p_ < 2) return Fail("file ends inside a token", p_);
  value = std::uint16_t(p_[0] | p_[1] << 8);
  p_ += 2;
  return true;
}

bool BinaryTokens::ReadDword(std::uint32_t& value) {
  if (end_ - p_ < 4) return Fail("file ends inside a token", p_);
  value = LoadLe32(p_);
  p_ += 4;
  return true;
}

bool BinaryTokens::ReadCounted(std::string_view& text) {
  std::uint32_t count = 0;
  if (!ReadDword(count)) return false;
  if (count > std::size_t(end_ - p_)) return Fail("name or string runs past the end of the file", p_ - 4);
  text = std::string_view(reinterpret_cast<const char*>(p_), count);
  p_ += count;
  return true;
}

std::size_t BinaryTokens::MaxValuesLeft() const { return listLeft_ + std::size_t(end_ - p_) / 4; }

bool BinaryTokens::Peek(Token& token) {
  const std::uint8_t* saved = p_;
  const List savedList = list_;
  const std::uint32_t savedLeft = listLeft_;
  const bool ok = Next(token);
  p_ = saved;
  list_ = savedList;
  listLeft_ = savedLeft;
  return ok;
}

bool BinaryTokens::Next(Token& token) {
  if (listLeft_ != 0)
    return Fail(std::to_string(listLeft_) + " values left over in a data object", p_);
  token = Token{};
  for (;;) {
    token.offset = Offset();
    if (p_ == end_) {
      token.kind = TokenKind::End;
      return true;
    }
    std::uint16_t code = 0;
    if (!ReadWord(code)) return false;
    switch (code) {
      case kComma:
      case kSemicolon: continue;  // separators carry nothing between structural tokens
      case kName: token.kind = TokenKind::Name; return ReadCounted(token.text);
      case kString: token.kind = TokenKind::String; return ReadCounted(token.text);
      case kInteger: token.kind = TokenKind::Integer; return ReadDword(token.integer);
      case kGuid: {
        if (end_ - p_ < 16) return Fail("file ends inside a GUID", p_);
        // Stored as DWORD, WORD, WORD, 8 bytes; kept in the written order.
        const std::uint8_t order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
        for (int i = 0; i < 16; ++i) token.guid[std::size_t(i)] = p_[order[i]];
        p_ += 16;
        token.kind = TokenKind::Guid;
        return true;
      }
      case kIntegerList:
      case kFloatList: {
        // A value list where structure was expected: report it as a number
        // token and step over its values.
        std::uint32_t count = 0;
        if (!ReadDword(count)) return false;
        const std::size_t size = code == kIntegerList ? 4 : floatBytes_;
        if (count > std::size_t(end_ - p_) / size) return Fail("value list runs past the end of the file", p_ - 6);
        p_ += count * size;
        token.kind = code == kIntegerList ? TokenKind::Integer : TokenKind::Float;
        token.integer = count;
        return true;
      }
      case kOpenBrace: token.kind = TokenKind::OpenBrace; return true;
      case kCloseBrace: token.kind = TokenKind::CloseBrace; return true;
      case kOpenParen: token.kind = TokenKind::OpenParen; return true;
      case kCloseParen: token.kind = TokenKind::CloseParen; return true;
      case kOpenBracket: token.kind = TokenKind::OpenBracket; return true;
      case kCloseBracket: token.kind = TokenKind::CloseBracket; return true;
      case kDot: token.kind = TokenKind::Dot; return true;
      case kTemplate: token.kind = TokenKind::Template; return true;
      case kArray: token.kind = TokenKind::Array; return true;
      default:
        for (const TypeCode& type : kTypes) {
          if (type.code == code) {
            token.kind = TokenKind::Type;
            token.type = type.type;
            return true;
          }
        }
        return Fail("unknown binary token " + std::to_string(code), p_ - 2);
    }
  }
}

// Moves to the next value list of the wanted kind, stepping over separators.
bool BinaryTokens::StartList(List wanted) {
  const char* what = wanted == List::Integers ? "integer" : "float";
  for (;;) {
    const std::uint8_t* at = p_;
    if (p_ == end_) return Fail(std::string("file ends where ") + what + " values were expected", p_);
    std::uint16_t code = 0;
    if (!ReadWord(code)) return false;
    if (code == kComma || code == kSemicolon) continue;
    std::uint32_t count = 1;
    if (code == kIntegerList || code == kFloatList) {
      if (!ReadDword(count)) return false;
    } else if (code != kInteger) {
      return Fail(std::string("expected ") + what + " values, found token " + std::to_string(code), at);
    }
    const List found = code == kFloatList ? List::Floats : List::Integers;
    if (found != wanted)
      return Fail(std::string("expected ") + what + " values, found a " +
                      (found == List::Floats ? "float" : "integer") + " list",
                  at);
    const std::size_t size = found == List::Floats ? floatBytes_ : 4;
    if (count > std::size_t(end_ - p_) / size) return Fail("value list runs past the end of the file", at);
    list_ = found;
    listLeft_ = count;
    if (count != 0) return true;
  }
}

bool BinaryTokens::ReadUints(std::uint32_t* out, std::size_t count) {
  while (count != 0) {
    if (listLeft_ == 0 && !StartList(List::Integers)) return false;
    if (list_ != List::Integers) return Fail("expected integer values, found floats", p_);
    const std::size_t n = std::min<std::size_t>(count, listLeft_);
    CopyDwords(p_, out, n);
    p_ += n * 4;
    out += n;
    count -= n;
    listLeft_ -= std::uint32_t(n);
  }
  return true;
}

bool BinaryTokens::ReadInts(std::int32_t* out, std::size_t count) {
  return ReadUints(reinterpret_cast<std::uint32_t*>(out), count);
}

bool BinaryTokens::ReadFloats(float* out, std::size_t count) {
  while (count != 0) {
    if (listLeft_ == 0 && !StartList(List::Floats)) return false;
    if (list_ != List::Floats) return Fail("expected float values, found integers", p_);
    const std::size_t n = std::min<std::size_t>(count, listLeft_);
    CopyFloats(p_, out, n, floatBytes_);
    if (const std::size_t bad = FirstNonFinite(out, n); bad != n)
      return Fail("float value " + std::to_string(out[bad]) + " is not a finite number", p_ + bad * floatBytes_);
    p_ += n * floatBytes_;
    out += n;
    count -= n;
    listLeft_ -= std::uint32_t(n);
  }
  return true;
}

bool BinaryTokens::ReadString(std::string& out) {
  if (listLeft_ != 0) return Fail("expected a string, found more numbers", p_);
  Token token;
  const std::size_t at = Offset();
  if (!Next(token)) return false;
  if (token.kind != TokenKind::String && token.kind != TokenKind::Name)
    return errors_.Fail(Status::BadFile, "expected a string", at);
  out.assign(token.text);
  return true;
}

}  // namespace kv::xfile::detail
