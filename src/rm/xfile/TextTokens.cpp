#include "korvane3d/rm/xfile/TextTokens.h"

#include "korvane3d/rm/xfile/NumberScan.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace kv::xfile::detail {
namespace {

// Character classes of the text encoding.
enum CharClass : std::uint8_t {
  kWord = 0,    // part of a name or number
  kFiller = 1,  // white space and the separators ',' ';' (and control characters)
  kPunct = 2,   // a token of its own: braces, brackets, parentheses, '<', '>', '"'
  kComment = 3, // '#' and '/': a comment at the start of a token ("//" for '/'), else a word character
};

constexpr std::array<std::uint8_t, 256> MakeClasses() {
  std::array<std::uint8_t, 256> classes{};
  for (int c = 0; c <= 0x20; ++c) classes[c] = kFiller;
  classes[0x7f] = kFiller;
  classes[','] = kFiller;
  classes[';'] = kFiller;
  for (char c : {'{', '}', '[', ']', '(', ')', '<', '>', '"'}) classes[std::uint8_t(c)] = kPunct;
  classes['#'] = kComment;
  classes['/'] = kComment;
  return classes;
}
constexpr std::array<std::uint8_t, 256> kClasses = MakeClasses();

std::uint8_t ClassOf(char c) { return kClasses[std::uint8_t(c)]; }
bool IsDigit(char c) { return IsDigitChar(c); }

struct Keyword {
  std::string_view word;
  TokenKind kind;
  Primitive type;
};
constexpr Keyword kKeywords[] = {
    {"template", TokenKind::Template, Primitive::Void}, {"array", TokenKind::Array, Primitive::Void},
    {"WORD", TokenKind::Type, Primitive::Word},         {"DWORD", TokenKind::Type, Primitive::Dword},
    {"FLOAT", TokenKind::Type, Primitive::Float},       {"DOUBLE", TokenKind::Type, Primitive::Double},
    {"CHAR", TokenKind::Type, Primitive::Char},         {"UCHAR", TokenKind::Type, Primitive::Uchar},
    {"BYTE", TokenKind::Type, Primitive::Uchar},        {"SWORD", TokenKind::Type, Primitive::Sword},
    {"SDWORD", TokenKind::Type, Primitive::Sdword},     {"VOID", TokenKind::Type, Primitive::Void},
    {"LPSTR", TokenKind::Type, Primitive::Lpstr},       {"UNICODE", TokenKind::Type, Primitive::Unicode},
    {"CSTRING", TokenKind::Type, Primitive::Cstring},   {"STRING", TokenKind::Type, Primitive::String},
};

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Skips white space, separators and comments from p; returns where the next
// token or value starts (end when none does).
inline const char* SkipFillerFrom(const char* p, const char* end) {
  while (p != end) {
    const std::uint8_t cls = kClasses[std::uint8_t(*p)];
    if (cls == kFiller) {
      ++p;
    } else if (cls == kComment && (*p == '#' || (end - p > 1 && p[1] == '/'))) {
      const void* eol = std::memchr(p, '\n', std::size_t(end - p));
      p = eol ? static_cast<const char*>(eol) + 1 : end;
    } else {
      break;
    }
  }
  return p;
}

// Whether a value that ends at p runs into more word characters ("1.5x"),
// which makes it malformed rather than a value followed by a name.
inline bool RunsOn(const char* p, const char* end) {
  if (p == end) return false;
  const std::uint8_t cls = kClasses[std::uint8_t(*p)];
  return cls == kWord || (cls == kComment && *p == '/' && !(end - p > 1 && p[1] == '/'));
}

}  // namespace

TextTokens::TextTokens(std::span<const std::uint8_t> file, std::size_t start, ErrorState& errors)
    : TokenSource(errors),
      begin_(reinterpret_cast<const char*>(file.data())),
      p_(begin_ + start),
      end_(begin_ + file.size()) {}

bool TextTokens::Fail(std::string message, const char* at) {
  return errors_.Fail(Status::BadFile, std::move(message), std::size_t(at - begin_));
}

void TextTokens::SkipFiller() { p_ = SkipFillerFrom(p_, end_); }

std::size_t TextTokens::MaxValuesLeft() const {
  // Every value takes a character, and two values need a separator between them.
  return std::size_t(end_ - p_) / 2 + 1;
}

bool TextTokens::BeginValue(const char* what) {
  SkipFiller();
  if (p_ == end_) return Fail(std::string("file ends where ") + what + " was expected", p_);
  return true;
}

// A value must be followed by white space, a separator or punctuation; "1.5x"
// or "12abc" is a malformed value, not a value and a name.
bool TextTokens::EndValue(const char* start, const char* what) {
  if (RunsOn(p_, end_)) {
    const char* stop = p_;
    while (stop != end_ && kClasses[std::uint8_t(*stop)] != kFiller && kClasses[std::uint8_t(*stop)] != kPunct &&
           stop - start < 40)
      ++stop;
    return Fail(std::string("malformed ") + what + " \"" + std::string(start, stop) + "\"", start);
  }
  return true;
}

bool TextTokens::ReadUints(std::uint32_t* out, std::size_t count) {
  const char* p = p_;
  for (std::size_t i = 0; i < count; ++i) {
    p = SkipFillerFrom(p, end_);
    const char* stop = ScanUint(p, end_, out[i]);
    if (!stop || RunsOn(stop, end_)) {
      p_ = p;
      return IntegerError();
    }
    p = stop;
  }
  p_ = p;
  return true;
}

// The hot loop of text meshes: faces as "3;0,1,2;," read without leaving
// this function for every value.
bool TextTokens::ReadFaceArray(std::uint32_t count, std::vector<std::uint32_t>& sizes,
                               std::vector<std::uint32_t>& indices) {
  sizes.reserve(sizes.size() + count);
  const char* p = p_;
  for (std::uint32_t f = 0; f < count; ++f) {
    std::uint32_t corners = 0;
    p = SkipFillerFrom(p, end_);
    const char* stop = ScanUint(p, end_, corners);
    p_ = p;
    if (!stop || RunsOn(stop, end_)) return IntegerError();
    p_ = p = stop;
    if (corners == 0 || corners > MaxValuesLeft()) return FaceCornerError(f, corners);
    sizes.push_back(corners);
    const std::size_t at = indices.size();
    indices.resize(at + corners);
    std::uint32_t* out = indices.data() + at;
    for (std::uint32_t i = 0; i < corners; ++i) {
      p = SkipFillerFrom(p, end_);
      stop = ScanUint(p, end_, out[i]);
      if (!stop || RunsOn(stop, end_)) {
        p_ = p;
        return IntegerError();
      }
      p = stop;
    }
  }
  p_ = p;
  return true;
}

// Why the integer at p_ is not one.
bool TextTokens::IntegerError() {
  if (p_ == end_) return Fail("file ends where an integer was expected", p_);
  const char* start = p_;
  std::uint32_t ignored = 0;
  const char* stop = ScanUint(p_, end_, ignored);
  if (!stop && IsDigit(*p_)) return Fail("integer out of range", start);
  if (stop) p_ = stop;
  return EndValue(start, "integer") && Fail("expected an integer", start);
}

bool TextTokens::ReadInts(std::int32_t* out, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!BeginValue("an integer")) return false;
    const char* start = p_;
    const bool negative = *p_ == '-';
    if (negative || *p_ == '+') ++p_;
    std::uint32_t magnitude = 0;
    const char* stop = ScanUint(p_, end_, magnitude);
    if (!stop || magnitude > (negative ? 0x80000000u : 0x7fffffffu)) {
      p_ = start;
      return Fail("expected a signed integer", start);
    }
    p_ = stop;
    out[i] = negative ? std::int32_t(0u - magnitude) : std::int32_t(magnitude);
    if (!EndValue(start, "integer")) return false;
  }
  return true;
}

bool TextTokens::ReadFloats(float* out, std::size_t count) {
  const char* p = p_;
  for (std::size_t i = 0; i < count; ++i) {
    p = SkipFillerFrom(p, end_);
    const char* stop = ScanFloatFast(p, end_, out[i]);
    if (!stop || RunsOn(stop, end_)) {
      p_ = p;
      if (!ReadFloatSlowly(out[i])) return false;
      p = p_;
      continue;
    }
    p = stop;
  }
  p_ = p;
  return true;
}

// The values the fast path leaves: many digits, large exponents, infinities,
// a leading '+', or not a number at all.
bool TextTokens::ReadFloatSlowly(float& out) {
  if (!BeginValue("a number")) return false;
  const char* start = p_;
  if (*p_ == '+') ++p_;
  auto [stop, ec] = std::from_chars(p_, end_, out);
  if (ec == std::errc::result_out_of_range) {
    // Beyond the float range: take the double and let it round to infinity
    // or zero, as a C library would.
    double wide = 0;
    const auto retry = std::from_chars(p_, end_, wide);
    stop = retry.ptr;
    ec = retry.ec;
    if (ec == std::errc::result_out_of_range) {
      // Beyond even the double range: the exponent's sign says which way.
      const std::string_view digits(p_, std::size_t(stop - p_));
      const std::size_t e = digits.find_first_of("eE");
      const bool tiny = e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
      wide = tiny ? 0.0 : std::numeric_limits<double>::infinity();
      if (*p_ == '-') wide = -wide;
      ec = std::errc();
    }
    out = float(wide);
  }
  if (ec != std::errc()) {
    p_ = start;
    return EndValue(start, "number") && Fail("expected a number", start);
  }
  p_ = stop;
  if (!EndValue(start, "number")) return false;
  // Infinities and NaN (written, or a value beyond the float range) would
  // poison every bound, normal and picture computed from them.
  if (!std::isfinite(out))
    return Fail("\"" + std::string(start, std::size_t(p_ - start)) + "\" is not a finite number", start);
  return true;
}

bool TextTokens::ReadString(std::string& out) {
  if (!BeginValue("a string")) return false;
  Token token;
  if (*p_ != '"') return Fail("expected a quoted string", p_);
  if (!LexString(token)) return false;
  out = token.escaped ? UnescapeString(token.text) : std::string(token.text);
  return true;
}

bool TextTokens::Peek(Token& token) {
  const char* saved = p_;
  const bool ok = Next(token);
  p_ = saved;
  return ok;
}

bool TextTokens::Next(Token& token) {
  SkipFiller();
  token = Token{};
  token.offset = Offset();
  if (p_ == end_) {
    token.kind = TokenKind::End;
    return true;
  }
  switch (*p_) {
    case '{': token.kind = TokenKind::OpenBrace; break;
    case '}': token.kind = TokenKind::CloseBrace; break;
    case '[': token.kind = TokenKind::OpenBracket; break;
    case ']': token.kind = TokenKind::CloseBracket; break;
    case '(': token.kind = TokenKind::OpenParen; break;
    case ')': token.kind = TokenKind::CloseParen; break;
    case '"': return LexString(token);
    case '<': return LexGuid(token);
    case '>': return Fail("unexpected '>'", p_);
    case '.':
      if (end_ - p_ < 2 || !IsDigit(p_[1])) {
        token.kind = TokenKind::Dot;
        break;
      }
      return LexWord(token);
    default: return LexWord(token);
  }
  ++p_;
  return true;
}

bool TextTokens::LexString(Token& token) {
  const char* start = ++p_;
  while (p_ != end_ && *p_ != '"') {
    if (*p_ == '\\' && end_ - p_ > 1) {
      token.escaped = true;
      ++p_;
    }
    ++p_;
  }
  if (p_ == end_) return Fail("unterminated string", start - 1);
  token.kind = TokenKind::String;
  token.text = std::string_view(start, std::size_t(p_ - start));
  ++p_;
  return true;
}

// A GUID: "<" 32 hex digits in the 8-4-4-4-12 grouping ">"; white space and
// dashes inside are not checked beyond the digit count.
bool TextTokens::LexGuid(Token& token) {
  const char* start = p_++;
  int digits = 0;
  while (p_ != end_ && *p_ != '>') {
    const int v = HexValue(*p_);
    if (v >= 0) {
      if (digits == 32) return Fail("malformed GUID", start);
      token.guid[std::size_t(digits / 2)] = std::uint8_t(token.guid[std::size_t(digits / 2)] << 4 | v);
      ++digits;
    } else if (*p_ != '-' && ClassOf(*p_) != kFiller) {
      return Fail("malformed GUID", start);
    }
    ++p_;
  }
  if (p_ == end_ || digits != 32) return Fail("malformed GUID", start);
  ++p_;
  token.kind = TokenKind::Guid;
  return true;
}

// A run of word characters: an integer, another number, a keyword or a name.
bool TextTokens::LexWord(Token& token) {
  const char* start = p_;
  // '#' inside a name belongs to it; "//" starts a comment even there.
  while (p_ != end_ && (ClassOf(*p_) == kWord || (*p_ == '#') || RunsOn(p_, end_))) ++p_;
  if (p_ == start) return Fail(std::string("unexpected character '") + *p_ + "'", p_);
  token.text = std::string_view(start, std::size_t(p_ - start));
  const char first = *start;
  if (IsDigit(first) || first == '-' || first == '+' || first == '.') {
    std::uint32_t value = 0;
    if (ScanUint(start, p_, value) == p_) {
      token.kind = TokenKind::Integer;
      token.integer = value;
      return true;
    }
    if (IsDigit(first) || (start + 1 != p_ && (IsDigit(start[1]) || start[1] == '.'))) {
      token.kind = TokenKind::Float;
      return true;
    }
  }
  token.kind = TokenKind::Name;
  for (const Keyword& keyword : kKeywords) {
    if (EqualsIgnoreCase(token.text, keyword.word)) {
      token.kind = keyword.kind;
      token.type = keyword.type;
      break;
    }
  }
  return true;
}

std::string UnescapeString(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size() && (raw[i + 1] == '\\' || raw[i + 1] == '"')) ++i;
    out += raw[i];
  }
  return out;
}

}  // namespace kv::xfile::detail
