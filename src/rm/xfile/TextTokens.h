// Tokens of the text encoding ("txt " and "tzip" bodies).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "korvane3d/rm/xfile/Tokens.h"

namespace kv::xfile::detail {

class TextTokens final : public TokenSource {
 public:
  // file: the whole (uncompressed) file; reading starts at `start`, and
  // offsets in tokens and errors count from the start of file.
  TextTokens(std::span<const std::uint8_t> file, std::size_t start, ErrorState& errors);

  bool Next(Token& token) override;
  bool Peek(Token& token) override;
  bool ReadUints(std::uint32_t* out, std::size_t count) override;
  bool ReadInts(std::int32_t* out, std::size_t count) override;
  bool ReadFloats(float* out, std::size_t count) override;
  bool ReadString(std::string& out) override;
  bool ReadFaceArray(std::uint32_t count, std::vector<std::uint32_t>& sizes,
                     std::vector<std::uint32_t>& indices) override;
  std::size_t MaxValuesLeft() const override;
  std::size_t Offset() const override { return std::size_t(p_ - begin_); }

 private:
  void SkipFiller();
  bool BeginValue(const char* what);
  bool EndValue(const char* start, const char* what);
  bool IntegerError();
  bool ReadFloatSlowly(float& out);
  bool LexString(Token& token);
  bool LexGuid(Token& token);
  bool LexWord(Token& token);
  bool Fail(std::string message, const char* at);

  const char* begin_;
  const char* p_;
  const char* end_;
};

// The characters of a quoted string with its \\ and \" escapes resolved.
std::string UnescapeString(std::string_view raw);

}  // namespace kv::xfile::detail
