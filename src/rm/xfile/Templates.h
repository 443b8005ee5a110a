// Template declarations ("template Name { <GUID> members [children] }"): the
// standard set every file may use without declaring it, the ones a file
// declares, and the generic reader that walks a data object's values by its
// template's member list so objects of any template can be read or skipped.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "korvane3d/rm/xfile/Tokens.h"

namespace kv::xfile::detail {

// One array dimension: a fixed size, or the value of an earlier member.
struct Dimension {
  std::uint32_t size = 0;
  int member = -1;
};

struct MemberDef {
  std::string_view name;
  bool primitive = true;
  Primitive type = Primitive::Dword;
  std::string_view typeName;     // the template of a structure member
  std::vector<Dimension> dims;   // empty: a single value
};

enum class ChildRule { Closed, Open, Restricted };

struct TemplateDef {
  std::string_view name;
  std::optional<Guid> guid;
  std::vector<MemberDef> members;
  ChildRule children = ChildRule::Closed;
  std::vector<std::string_view> allowed;  // for ChildRule::Restricted
};

class TemplateSet {
 public:
  // The standard templates (the mesh, frame, material and animation set and
  // the common later additions such as skin weights), parsed once.
  static const TemplateSet& Standard();

  // A file's own declarations, looked up before the standard ones.
  TemplateSet() = default;
  explicit TemplateSet(const TemplateSet* fallback) : fallback_(fallback) {}

  const TemplateDef* Find(std::string_view name) const;
  void Add(TemplateDef def);  // replaces an earlier declaration of the name
  const std::vector<std::unique_ptr<TemplateDef>>& all() const { return defs_; }

 private:
  std::vector<std::unique_ptr<TemplateDef>> defs_;
  std::unordered_map<std::string_view, const TemplateDef*> byName_;
  const TemplateSet* fallback_ = nullptr;
};

// Parses a declaration after its "template" keyword.
bool ParseTemplate(TokenSource& source, TemplateDef& def);

// Reads (and discards) the member values of data objects by their templates.
class GenericReader {
 public:
  GenericReader(TokenSource& source, const TemplateSet& templates)
      : source_(source), templates_(templates) {}

  // Whether objects of def can be read member by member: every structure
  // member names a known template and no template contains itself.
  bool Readable(const TemplateDef& def) { return MinValues(def, 0).has_value(); }
  bool ReadMembers(const TemplateDef& def, int depth);
  void Forget() { minValues_.clear(); }  // after the template set changed

 private:
  // The fewest values an object of def holds (arrays of variable size count
  // as empty); nullopt when def cannot be resolved.
  std::optional<std::uint64_t> MinValues(const TemplateDef& def, int depth);
  bool ReadPrimitives(const MemberDef& member, std::uint64_t count, std::uint32_t& scalar);
  bool ReadStructures(const MemberDef& member, std::uint64_t count, int depth);

  TokenSource& source_;
  const TemplateSet& templates_;
  std::unordered_map<const TemplateDef*, std::optional<std::uint64_t>> minValues_;
};

}  // namespace kv::xfile::detail
