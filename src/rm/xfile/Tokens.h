// The token layer shared by the text and binary readers: one token type, one
// source interface, and the error state every stage of a parse reports into.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "korvane3d/rm/xfile/XFile.h"

namespace kv::xfile::detail {

// Largest element count a file may declare for one array; larger counts give
// Status::TooLarge (the data for them would take gigabytes).
inline constexpr std::uint64_t kMaxElements = std::uint64_t{1} << 28;
// Deepest nesting of data objects (frames in frames) and of template members.
inline constexpr int kMaxDepth = 128;

using Guid = std::array<std::uint8_t, 16>;

enum class TokenKind : std::uint8_t {
  End,
  Name,
  String,
  Integer,
  Float,
  Guid,
  OpenBrace,
  CloseBrace,
  OpenBracket,
  CloseBracket,
  OpenParen,
  CloseParen,
  Dot,
  Template,
  Array,
  Type,  // a primitive type keyword, see Primitive
};

enum class Primitive : std::uint8_t {
  Word, Dword, Float, Double, Char, Uchar, Sword, Sdword, Void, Lpstr, Unicode, Cstring, String,
};

inline bool IsSigned(Primitive p) {
  return p == Primitive::Char || p == Primitive::Sword || p == Primitive::Sdword;
}
inline bool IsReal(Primitive p) { return p == Primitive::Float || p == Primitive::Double; }
inline bool IsText(Primitive p) {
  return p == Primitive::Lpstr || p == Primitive::Unicode || p == Primitive::Cstring ||
         p == Primitive::String;
}

struct Token {
  TokenKind kind = TokenKind::End;
  Primitive type = Primitive::Void;  // for TokenKind::Type
  bool escaped = false;              // a text string holding backslash escapes
  std::string_view text;             // Name and String contents
  std::uint32_t integer = 0;         // Integer
  Guid guid{};                       // Guid
  std::size_t offset = 0;            // where the token starts in the file
};

std::string_view Describe(TokenKind kind);

// The first failure of a parse; later ones are ignored so the message names
// the root cause.
class ErrorState {
 public:
  // Always returns false, so callers can write `return errors.Fail(...)`.
  bool Fail(Status status, std::string message, std::size_t offset) {
    if (status_ == Status::Ok) {
      status_ = status;
      message_ = std::move(message);
      offset_ = offset;
    }
    return false;
  }
  bool Failed() const { return status_ != Status::Ok; }
  Status status() const { return status_; }
  const std::string& message() const { return message_; }
  std::size_t offset() const { return offset_; }

 private:
  Status status_ = Status::Ok;
  std::string message_;
  std::size_t offset_ = 0;
};

// Tokens of one encoding. Structural tokens come from Next/Peek; the values
// of a data object's members come from the Read* calls, which accept ',' and
// ';' between values in any number. Every call returns false after
// recording a failure in the error state.
class TokenSource {
 public:
  explicit TokenSource(ErrorState& errors) : errors_(errors) {}
  virtual ~TokenSource() = default;
  TokenSource(const TokenSource&) = delete;
  TokenSource& operator=(const TokenSource&) = delete;

  virtual bool Next(Token& token) = 0;
  virtual bool Peek(Token& token) = 0;

  virtual bool ReadUints(std::uint32_t* out, std::size_t count) = 0;
  virtual bool ReadInts(std::int32_t* out, std::size_t count) = 0;
  virtual bool ReadFloats(float* out, std::size_t count) = 0;
  virtual bool ReadString(std::string& out) = 0;
  // An array of `count` MeshFace values, each a corner count and as many
  // indices: appends the counts to sizes and the indices to indices. Fails
  // on a face without corners or a count the rest of the file cannot hold.
  virtual bool ReadFaceArray(std::uint32_t count, std::vector<std::uint32_t>& sizes,
                             std::vector<std::uint32_t>& indices);

  // An upper bound on the values the rest of the input can still hold; a
  // declared count above it cannot be right, whatever the file says.
  virtual std::size_t MaxValuesLeft() const = 0;
  // Where the next token or value starts.
  virtual std::size_t Offset() const = 0;

  bool ReadUint(std::uint32_t& out) { return ReadUints(&out, 1); }
  ErrorState& errors() { return errors_; }

 protected:
  bool FaceCornerError(std::uint32_t face, std::uint32_t corners);
  ErrorState& errors_;
};

}  // namespace kv::xfile::detail
