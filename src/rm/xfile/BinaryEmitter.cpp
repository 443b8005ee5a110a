// Binary layout: names, strings and punctuation as tokens; consecutive values
// of one kind gathered into one integer or float list.
#include <bit>
#include <cstring>

#include "korvane3d/rm/xfile/BinaryTokens.h"
#include "korvane3d/rm/xfile/Emitter.h"

namespace kv::xfile::detail {
namespace {

std::uint16_t TypeCode(Primitive type) {
  switch (type) {
    case Primitive::Word: return kWord;
    case Primitive::Dword: return kDword;
    case Primitive::Float: return kFloat;
    case Primitive::Double: return kDouble;
    case Primitive::Char: return kChar;
    case Primitive::Uchar: return kUchar;
    case Primitive::Sword: return kSword;
    case Primitive::Sdword: return kSdword;
    case Primitive::Void: return kVoid;
    case Primitive::Unicode: return kUnicode;
    case Primitive::Cstring: return kCstring;
    case Primitive::Lpstr:
    case Primitive::String: return kLpstr;
  }
  return kDword;
}

class BinaryEmitter final : public Emitter {
 public:
  explicit BinaryEmitter(int floatBits) : double_(floatBits == 64) {}

  void Template(const TemplateDef& def) override {
    Code(kTemplate);
    Name(def.name);
    Code(kOpenBrace);
    if (def.guid) Guid(*def.guid);
    for (const MemberDef& m : def.members) {
      if (!m.dims.empty()) Code(kArray);
      if (m.primitive) Code(TypeCode(m.type));
      else Name(m.typeName);
      Name(m.name);
      for (const Dimension& d : m.dims) {
        Code(kOpenBracket);
        if (d.member < 0) Code(kInteger), Dword32(d.size);
        else Name(def.members[std::size_t(d.member)].name);
        Code(kCloseBracket);
      }
      Code(kSemicolon);
    }
    if (def.children == ChildRule::Open) {
      Code(kOpenBracket);
      for (int i = 0; i < 3; ++i) Code(kDot);
      Code(kCloseBracket);
    } else if (def.children == ChildRule::Restricted) {
      Code(kOpenBracket);
      for (std::size_t i = 0; i < def.allowed.size(); ++i) {
        if (i) Code(kComma);
        Name(def.allowed[i]);
        const TemplateDef* child = TemplateSet::Standard().Find(def.allowed[i]);
        if (child && child->guid) Guid(*child->guid);
      }
      Code(kCloseBracket);
    }
    Code(kCloseBrace);
  }

  void Begin(std::string_view templateName, std::string_view objectName) override {
    CloseList();
    Name(templateName);
    if (!objectName.empty()) Name(objectName);
    Code(kOpenBrace);
  }
  void End() override {
    CloseList();
    Code(kCloseBrace);
  }
  void Dword(std::uint32_t value) override { Ints({&value, 1}); }
  void DwordArray(std::span<const std::uint32_t> values) override { Ints(values); }
  void FloatStruct(std::span<const float> values) override { Floats(values); }
  void FloatArray(std::span<const float> values, std::size_t) override { Floats(values); }

  void FaceArray(std::span<const std::uint32_t> sizes, std::span<const std::uint32_t> indices) override {
    std::size_t at = 0;
    for (std::uint32_t size : sizes) {
      Ints({&size, 1});
      Ints(indices.subspan(at, size));
      at += size;
    }
  }

  void IndexedColorArray(std::span<const std::uint32_t> colors) override {
    for (std::size_t i = 0; i < colors.size(); ++i) {
      const std::uint32_t index = std::uint32_t(i);
      Ints({&index, 1});
      Floats(ColorFloats(colors[i]));
    }
  }

  void BoolPairArray(std::span<const std::array<bool, 2>> pairs) override {
    for (const auto& pair : pairs) {
      const std::uint32_t values[2] = {pair[0], pair[1]};
      Ints(values);
    }
  }

  void String(std::string_view text) override {
    CloseList();
    Code(kString);
    Dword32(std::uint32_t(text.size()));
    Bytes(text.data(), text.size());
    Code(kSemicolon);
  }

  std::vector<std::uint8_t> Finish() override {
    CloseList();
    return std::move(out_);
  }

 private:
  enum class List { None, Integers, Floats };

  void Bytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    out_.insert(out_.end(), p, p + size);
  }
  void Code(std::uint16_t code) { out_.push_back(std::uint8_t(code)), out_.push_back(std::uint8_t(code >> 8)); }
  void Dword32(std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out_.push_back(std::uint8_t(v >> shift));
  }
  void Name(std::string_view name) {
    Code(kName);
    Dword32(std::uint32_t(name.size()));
    Bytes(name.data(), name.size());
  }
  void Guid(const detail::Guid& g) {
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    Code(kGuid);
    for (int i : order) out_.push_back(g[std::size_t(i)]);
  }

  void OpenList(List kind) {
    if (list_ == kind) return;
    CloseList();
    Code(kind == List::Integers ? kIntegerList : kFloatList);
    countAt_ = out_.size();
    Dword32(0);
    list_ = kind;
    listCount_ = 0;
  }
  void CloseList() {
    if (list_ == List::None) return;
    for (int i = 0; i < 4; ++i) out_[countAt_ + std::size_t(i)] = std::uint8_t(listCount_ >> (8 * i));
    list_ = List::None;
  }
  // Appends values as little-endian words of `Word` bytes.
  template <typename Word, typename T>
  void AppendWords(std::span<const T> values) {
    const std::size_t at = out_.size();
    out_.resize(at + values.size() * sizeof(Word));
    std::uint8_t* to = out_.data() + at;
    for (std::size_t i = 0; i < values.size(); ++i) {
      Word word;
      if constexpr (sizeof(Word) == sizeof(T)) word = std::bit_cast<Word>(values[i]);
      else word = std::bit_cast<Word>(double(values[i]));
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(to + i * sizeof(Word), &word, sizeof(Word));
      } else {
        for (std::size_t b = 0; b < sizeof(Word); ++b) to[i * sizeof(Word) + b] = std::uint8_t(word >> (8 * b));
      }
    }
  }
  void Ints(std::span<const std::uint32_t> values) {
    OpenList(List::Integers);
    AppendWords<std::uint32_t>(values);
    listCount_ += std::uint32_t(values.size());
  }
  void Floats(std::span<const float> values) {
    OpenList(List::Floats);
    if (double_) AppendWords<std::uint64_t>(values);
    else AppendWords<std::uint32_t>(values);
    listCount_ += std::uint32_t(values.size());
  }

  bool double_;
  std::vector<std::uint8_t> out_;
  List list_ = List::None;
  std::size_t countAt_ = 0;
  std::uint32_t listCount_ = 0;
};

}  // namespace

std::unique_ptr<Emitter> MakeBinaryEmitter(int floatBits) { return std::make_unique<BinaryEmitter>(floatBits); }

}  // namespace kv::xfile::detail
