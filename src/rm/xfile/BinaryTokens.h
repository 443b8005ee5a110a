// Tokens of the binary encoding ("bin " and "bzip" bodies): each token is a
// little-endian WORD code followed by its payload; member values come in
// integer lists (DWORDs) and float lists (4- or 8-byte floats).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "korvane3d/rm/xfile/Tokens.h"

namespace kv::xfile::detail {

enum BinaryCode : std::uint16_t {
  kName = 1, kString = 2, kInteger = 3, kGuid = 5, kIntegerList = 6, kFloatList = 7,
  kOpenBrace = 10, kCloseBrace = 11, kOpenParen = 12, kCloseParen = 13, kOpenBracket = 14,
  kCloseBracket = 15, kOpenAngle = 16, kCloseAngle = 17, kDot = 18, kComma = 19, kSemicolon = 20,
  kTemplate = 31, kWord = 40, kDword = 41, kFloat = 42, kDouble = 43, kChar = 44, kUchar = 45,
  kSword = 46, kSdword = 47, kVoid = 48, kLpstr = 49, kUnicode = 50, kCstring = 51, kArray = 52,
};

class BinaryTokens final : public TokenSource {
 public:
  BinaryTokens(std::span<const std::uint8_t> file, std::size_t start, int floatBits,
               ErrorState& errors);

  bool Next(Token& token) override;
  bool Peek(Token& token) override;
  bool ReadUints(std::uint32_t* out, std::size_t count) override;
  bool ReadInts(std::int32_t* out, std::size_t count) override;
  bool ReadFloats(float* out, std::size_t count) override;
  bool ReadString(std::string& out) override;
  std::size_t MaxValuesLeft() const override;
  std::size_t Offset() const override { return std::size_t(p_ - begin_); }

 private:
  enum class List { None, Integers, Floats };
  bool StartList(List wanted);
  bool ReadWord(std::uint16_t& value);
  bool ReadDword(std::uint32_t& value);
  bool ReadCounted(std::string_view& text);
  bool Fail(std::string message, const std::uint8_t* at);

  const std::uint8_t* begin_;
  const std::uint8_t* p_;
  const std::uint8_t* end_;
  std::size_t floatBytes_;
  List list_ = List::None;
  std::uint32_t listLeft_ = 0;  // values of the current list not read yet
};

}  // namespace kv::xfile::detail
