// Text layout: one member per line, each value ended by ';' and array
// elements separated by ',', floats in their shortest form that reads back
// to the same bits.
#include <charconv>
#include <cstdio>
#include <string>

#include "korvane3d/rm/xfile/Emitter.h"

namespace kv::xfile::detail {
namespace {

std::string_view TypeKeyword(Primitive type) {
  switch (type) {
    case Primitive::Word: return "WORD";
    case Primitive::Dword: return "DWORD";
    case Primitive::Float: return "FLOAT";
    case Primitive::Double: return "DOUBLE";
    case Primitive::Char: return "CHAR";
    case Primitive::Uchar: return "UCHAR";
    case Primitive::Sword: return "SWORD";
    case Primitive::Sdword: return "SDWORD";
    case Primitive::Void: return "VOID";
    case Primitive::Lpstr: return "LPSTR";
    case Primitive::Unicode: return "UNICODE";
    case Primitive::Cstring: return "CSTRING";
    case Primitive::String: return "STRING";
  }
  return "DWORD";
}

std::string GuidText(const Guid& g) {
  char text[40];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", g[0],
                g[1], g[2], g[3], g[4], g[5], g[6], g[7], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
  return text;
}

// An object name the text reader reads back as one name: characters that
// would end it become '_', and a name that would read as a number or a
// keyword gets a leading '_'.
std::string SafeName(std::string_view name) {
  std::string out;
  for (char c : name) {
    const bool ends = std::uint8_t(c) <= 0x20 || c == 0x7f || std::string_view("{}[]()<>\";,#/").find(c) != std::string_view::npos;
    out += ends ? '_' : c;
  }
  if (!out.empty() && ((out[0] >= '0' && out[0] <= '9') || out[0] == '-' || out[0] == '+' || out[0] == '.'))
    out.insert(out.begin(), '_');
  for (std::string_view keyword : {"template", "array", "WORD", "DWORD", "FLOAT", "DOUBLE", "CHAR", "UCHAR",
                                   "BYTE", "SWORD", "SDWORD", "VOID", "LPSTR", "UNICODE", "CSTRING", "STRING"}) {
    if (out.size() == keyword.size() &&
        std::equal(out.begin(), out.end(), keyword.begin(), [](char a, char b) { return std::toupper(a) == std::toupper(b); }))
      out.insert(out.begin(), '_');
  }
  return out;
}

class TextEmitter final : public Emitter {
 public:
  TextEmitter() { out_ = "\n"; }  // the header line ends here

  void Template(const TemplateDef& def) override {
    out_ += "template " + std::string(def.name) + " {\n";
    if (def.guid) out_ += " <" + GuidText(*def.guid) + ">\n";
    for (const MemberDef& m : def.members) {
      out_ += m.dims.empty() ? " " : " array ";
      out_ += m.primitive ? TypeKeyword(m.type) : m.typeName;
      out_ += ' ';
      out_ += m.name;
      for (const Dimension& d : m.dims)
        out_ += "[" + (d.member < 0 ? std::to_string(d.size) : std::string(def.members[std::size_t(d.member)].name)) + "]";
      out_ += ";\n";
    }
    if (def.children == ChildRule::Open) out_ += " [...]\n";
    if (def.children == ChildRule::Restricted) {
      out_ += " [";
      for (std::size_t i = 0; i < def.allowed.size(); ++i) {
        if (i) out_ += ", ";
        out_ += def.allowed[i];
        const TemplateDef* child = TemplateSet::Standard().Find(def.allowed[i]);
        if (child && child->guid) out_ += " <" + GuidText(*child->guid) + ">";
      }
      out_ += "]\n";
    }
    out_ += "}\n\n";
  }

  void Begin(std::string_view templateName, std::string_view objectName) override {
    Indent();
    out_ += templateName;
    if (!objectName.empty()) out_ += " " + SafeName(objectName);
    out_ += " {\n";
    ++depth_;
  }

  void End() override {
    --depth_;
    Indent();
    out_ += depth_ == 0 ? "}\n\n" : "}\n";
  }

  void Dword(std::uint32_t value) override {
    Indent();
    Number(value);
    out_ += ";\n";
  }

  void DwordArray(std::span<const std::uint32_t> values) override {
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i % 16 == 0) Indent();
      Number(values[i]);
      out_ += i + 1 == values.size() ? ";\n" : (i % 16 == 15 ? ",\n" : ",");
    }
  }

  void FloatStruct(std::span<const float> values) override {
    Indent();
    for (float v : values) Number(v), out_ += ';';
    if (values.size() > 1) out_ += ';';
    out_ += '\n';
  }

  void FloatArray(std::span<const float> values, std::size_t group) override {
    for (std::size_t i = 0; i < values.size(); i += group) {
      Indent();
      for (std::size_t k = 0; k < group; ++k) Number(values[i + k]), out_ += ';';
      out_ += i + group == values.size() ? ";\n" : ",\n";
    }
  }

  void FaceArray(std::span<const std::uint32_t> sizes, std::span<const std::uint32_t> indices) override {
    std::size_t at = 0;
    for (std::size_t f = 0; f < sizes.size(); ++f) {
      Indent();
      Number(sizes[f]);
      out_ += ';';
      for (std::uint32_t i = 0; i < sizes[f]; ++i) {
        Number(indices[at + i]);
        out_ += i + 1 == sizes[f] ? ';' : ',';
      }
      at += sizes[f];
      out_ += f + 1 == sizes.size() ? ";\n" : ",\n";
    }
  }

  void IndexedColorArray(std::span<const std::uint32_t> colors) override {
    for (std::size_t i = 0; i < colors.size(); ++i) {
      Indent();
      Number(std::uint32_t(i));
      out_ += ';';
      for (float c : ColorFloats(colors[i])) Number(c), out_ += ';';
      out_ += i + 1 == colors.size() ? ";;\n" : ";,\n";
    }
  }

  void BoolPairArray(std::span<const std::array<bool, 2>> pairs) override {
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      Indent();
      out_ += pairs[i][0] ? "1;;" : "0;;";
      out_ += pairs[i][1] ? "1;;" : "0;;";
      out_ += i + 1 == pairs.size() ? ";\n" : ",\n";
    }
  }

  void String(std::string_view text) override {
    Indent();
    out_ += '"';
    for (char c : text) {
      if (c == '\\' || c == '"') out_ += '\\';
      out_ += c;
    }
    out_ += "\";\n";
  }

  std::vector<std::uint8_t> Finish() override { return {out_.begin(), out_.end()}; }

 private:
  void Indent() { out_.append(std::size_t(depth_), ' '); }
  template <typename T>
  void Number(T value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out_.append(text, result.ptr);
  }

  std::string out_;
  int depth_ = 0;
};

}  // namespace

std::unique_ptr<Emitter> MakeTextEmitter() { return std::make_unique<TextEmitter>(); }

}  // namespace kv::xfile::detail
