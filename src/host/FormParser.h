// The text form format, as syntax: a tree of objects with their property
// lines, nothing interpreted yet. The reader (FormStream.cpp) turns the tree
// into components; generic property access parses single values here too.
//
//   object Form1: TForm          (or "object TForm" for an unnamed one)
//     Caption = 'It''s here'#13#10'second line'
//     Position.X = -1.5E-3
//     Options = [opA, opB]
//     object Button1: TButton
//     end
//   end
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct FormValue {
  enum class Kind { Number, String, Ident, Set };
  Kind kind = Kind::Ident;
  std::string text;                // number as written, decoded string, identifier ("-Inf" keeps its sign)
  std::vector<std::string> items;  // Set
};

struct FormProperty {
  std::string path;  // dotted
  FormValue value;
  int line = 0;
};

struct FormObject {
  std::string name;
  std::string className;
  int line = 0;
  std::vector<FormProperty> properties;
  std::vector<FormObject> children;
};

// Parses a whole form. On failure returns false with the last error
// "source:line: message".
bool ParseForm(std::string_view text, const std::string& source, FormObject& root);
// Parses `text` as exactly one value. On failure returns false with the
// last error set to a message without position.
bool ParseFormValue(std::string_view text, FormValue& value);

// The text of a string value: quoted pieces with '' for a quote, control
// characters and DEL as #nn between them.
std::string QuoteFormString(std::string_view text);

}  // namespace kv
