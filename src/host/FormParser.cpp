#include "korvane3d/host/FormParser.h"

#include <charconv>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/TypeInfo.h"

namespace kv {

namespace {

constexpr int kMaxDepth = 64;          // nesting of objects
constexpr std::size_t kMaxToken = 4096;  // identifiers and numbers
constexpr std::size_t kMaxSetItems = 64;

struct Token {
  enum class Kind { End, Ident, Number, String, Symbol, Bad };
  Kind kind = Kind::End;
  std::string text;
  char symbol = 0;
  int line = 1;
};

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || IsDigit(c); }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  Token Next() {
    SkipSpace();
    Token t;
    t.line = line_;
    if (pos_ >= text_.size()) return t;
    const char c = text_[pos_];
    if (IsIdentStart(c)) return Word(t, pos_);
    if (IsDigit(c) || c == '$') return Number(t, pos_);
    if ((c == '-' || c == '+') && pos_ + 1 < text_.size()) {
      const char d = text_[pos_ + 1];
      if (IsDigit(d) || d == '$' || d == '.') return Number(t, pos_);
      if (IsIdentStart(d)) return Word(t, pos_++);
    }
    if (c == '\'' || c == '#') return String(t);
    t.kind = Token::Kind::Symbol;
    t.symbol = c;
    ++pos_;
    return t;
  }
  int Line() const { return line_; }

 private:
  void SkipSpace() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\n') {
        ++line_;
      } else if (c != ' ' && c != '\t' && c != '\r' && c != '\f' && c != '\v') {
        return;
      }
      ++pos_;
    }
  }

  Token Word(Token& t, std::size_t start) {
    while (pos_ < text_.size() && IsIdentChar(text_[pos_])) ++pos_;
    return Finish(t, Token::Kind::Ident, start);
  }

  Token Number(Token& t, std::size_t start) {
    if (text_[pos_] == '-' || text_[pos_] == '+') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '$') {
      ++pos_;
      while (pos_ < text_.size() && IsHexDigit(text_[pos_])) ++pos_;
    } else {
      while (pos_ < text_.size()) {
        const char c = text_[pos_];
        const bool exponentSign = (c == '-' || c == '+') && (text_[pos_ - 1] == 'e' || text_[pos_ - 1] == 'E');
        if (!IsDigit(c) && c != '.' && c != 'e' && c != 'E' && !exponentSign) break;
        ++pos_;
      }
    }
    return Finish(t, Token::Kind::Number, start);
  }

  Token Finish(Token& t, Token::Kind kind, std::size_t start) {
    if (pos_ - start > kMaxToken) {
      t.kind = Token::Kind::Bad;
      t.text = "token too long";
      return t;
    }
    t.kind = kind;
    t.text.assign(text_.substr(start, pos_ - start));
    return t;
  }

  // Quoted pieces and #nn character codes, written next to each other.
  Token String(Token& t) {
    t.kind = Token::Kind::String;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\'') {
        if (!Quoted(t)) return t;
      } else if (c == '#') {
        if (!CharCode(t)) return t;
      } else {
        break;
      }
    }
    return t;
  }

  bool Quoted(Token& t) {
    ++pos_;
    for (;;) {
      if (pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r') return Bad(t, "unterminated string");
      const char c = text_[pos_++];
      if (c != '\'') {
        t.text.push_back(c);
      } else if (pos_ < text_.size() && text_[pos_] == '\'') {
        t.text.push_back('\'');
        ++pos_;
      } else {
        return true;
      }
    }
  }

  bool CharCode(Token& t) {
    ++pos_;
    int base = 10;
    if (pos_ < text_.size() && text_[pos_] == '$') {
      base = 16;
      ++pos_;
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && (base == 16 ? IsHexDigit(text_[pos_]) : IsDigit(text_[pos_]))) ++pos_;
    unsigned code = 0;
    auto [end, ec] = std::from_chars(text_.data() + start, text_.data() + pos_, code, base);
    if (start == pos_ || ec != std::errc() || code > 255) return Bad(t, "bad character code in string");
    t.text.push_back(static_cast<char>(code));
    return true;
  }

  bool Bad(Token& t, const char* message) {
    t.kind = Token::Kind::Bad;
    t.text = message;
    return false;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

std::string Describe(const Token& t) {
  switch (t.kind) {
    case Token::Kind::End: return "end of file";
    case Token::Kind::String: return "a string";
    case Token::Kind::Symbol: return std::string("'") + t.symbol + "'";
    default: return "\"" + t.text + "\"";
  }
}

class Parser {
 public:
  Parser(std::string_view text, std::string source) : lexer_(text), source_(std::move(source)) { Advance(); }

  bool Form(FormObject& root) {
    if (!Object(root, 0)) return false;
    if (tok_.kind != Token::Kind::End) return Error(tok_.line, "unexpected " + Describe(tok_) + " after the form's end");
    return true;
  }

  bool SingleValue(FormValue& value) {
    if (!Value(value)) return false;
    if (tok_.kind != Token::Kind::End) return Fail("unexpected " + Describe(tok_) + " after the value");
    return true;
  }

 private:
  void Advance() { tok_ = lexer_.Next(); }
  bool IsWord(const char* word) const { return tok_.kind == Token::Kind::Ident && SameText(tok_.text, word); }
  bool IsSymbol(char c) const { return tok_.kind == Token::Kind::Symbol && tok_.symbol == c; }

  bool Error(int line, const std::string& message) {
    if (source_.empty()) return Fail(message);
    return Fail(source_ + ":" + std::to_string(line) + ": " + message);
  }
  bool Unexpected(const std::string& wanted) {
    if (tok_.kind == Token::Kind::Bad) return Error(tok_.line, tok_.text);
    return Error(tok_.line, "expected " + wanted + " but found " + Describe(tok_));
  }

  bool Object(FormObject& object, int depth) {
    if (depth >= kMaxDepth) return Error(tok_.line, "objects nested too deeply");
    if (!IsWord("object")) return Unexpected("\"object\"");
    object.line = tok_.line;
    Advance();
    if (tok_.kind != Token::Kind::Ident) return Unexpected("a component name or class");
    std::string first = tok_.text;
    Advance();
    if (IsSymbol(':')) {
      Advance();
      if (tok_.kind != Token::Kind::Ident) return Unexpected("a class name");
      object.name = std::move(first);
      object.className = tok_.text;
      Advance();
    } else {
      object.className = std::move(first);
    }
    return Body(object, depth);
  }

  bool Body(FormObject& object, int depth) {
    for (;;) {
      if (IsWord("end")) {
        Advance();
        return true;
      }
      if (IsWord("object")) {
        if (!Object(object.children.emplace_back(), depth + 1)) return false;
      } else if (tok_.kind == Token::Kind::Ident) {
        if (!Property(object.properties.emplace_back())) return false;
      } else if (tok_.kind == Token::Kind::End) {
        return Error(tok_.line, "unexpected end of file: \"end\" missing for object " +
                                    (object.name.empty() ? object.className : object.name));
      } else {
        return Unexpected("a property, \"object\" or \"end\"");
      }
    }
  }

  bool Property(FormProperty& property) {
    property.line = tok_.line;
    property.path = tok_.text;
    Advance();
    while (IsSymbol('.')) {
      Advance();
      if (tok_.kind != Token::Kind::Ident) return Unexpected("a property name after '.'");
      property.path += '.';
      property.path += tok_.text;
      Advance();
    }
    if (!IsSymbol('=')) return Unexpected("'=' after property " + property.path);
    Advance();
    if (!Value(property.value)) {
      // Add the property to the position already in the message.
      return Error(property.line, "property \"" + property.path + "\": " + StripPosition(LastErrorText()));
    }
    return true;
  }

  std::string StripPosition(const std::string& message) const {
    if (source_.empty()) return message;
    const std::string prefix = source_ + ":";
    if (message.compare(0, prefix.size(), prefix) != 0) return message;
    const std::size_t colon = message.find(": ", prefix.size());
    return colon == std::string::npos ? message : message.substr(colon + 2);
  }

  bool Value(FormValue& value) {
    switch (tok_.kind) {
      case Token::Kind::Number: value.kind = FormValue::Kind::Number; break;
      case Token::Kind::String: value.kind = FormValue::Kind::String; break;
      case Token::Kind::Ident: value.kind = FormValue::Kind::Ident; break;
      case Token::Kind::Symbol:
        if (tok_.symbol == '[') return SetValue(value);
        if (tok_.symbol == '{') return Error(tok_.line, "binary data is not supported");
        if (tok_.symbol == '(' || tok_.symbol == '<') return Error(tok_.line, "lists and collections are not supported");
        return Unexpected("a value");
      default: return Unexpected("a value");
    }
    value.text = std::move(tok_.text);
    Advance();
    return true;
  }

  bool SetValue(FormValue& value) {
    value.kind = FormValue::Kind::Set;
    Advance();
    if (IsSymbol(']')) {
      Advance();
      return true;
    }
    for (;;) {
      if (tok_.kind != Token::Kind::Ident) return Unexpected("a set element");
      if (value.items.size() >= kMaxSetItems) return Error(tok_.line, "too many set elements");
      value.items.push_back(tok_.text);
      Advance();
      if (IsSymbol(']')) {
        Advance();
        return true;
      }
      if (!IsSymbol(',')) return Unexpected("',' or ']'");
      Advance();
    }
  }

  Lexer lexer_;
  std::string source_;
  Token tok_;
};

}  // namespace

bool ParseForm(std::string_view text, const std::string& source, FormObject& root) {
  root = FormObject();
  return Parser(text, source).Form(root);
}

bool ParseFormValue(std::string_view text, FormValue& value) {
  value = FormValue();
  return Parser(text, "").SingleValue(value);
}

std::string QuoteFormString(std::string_view text) {
  std::string out;
  bool open = false;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127) {
      if (open) out += '\'';
      open = false;
      out += '#';
      out += std::to_string(byte);
      continue;
    }
    if (!open) out += '\'';
    open = true;
    out += c;
    if (c == '\'') out += '\'';
  }
  if (open) out += '\'';
  if (out.empty()) out = "''";
  return out;
}

}  // namespace kv
