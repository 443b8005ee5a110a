#include "korvane3d/host/TypeInfo.h"

#include <algorithm>

#include "korvane3d/host/Component.h"

namespace kv {

namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
}  // namespace

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool IsValidIdent(std::string_view name) {
  return !name.empty() && IsIdentStart(name.front()) && std::all_of(name.begin() + 1, name.end(), IsIdentChar);
}

int EnumInfo::IndexOf(std::string_view name) const {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (SameText(names[i], name)) return static_cast<int>(i);
  }
  return -1;
}

bool PropInfo::IsStored(TObject& instance) const {
  switch (stored) {
    case StoredRule::Never: return false;
    case StoredRule::Predicate: return storedIf(instance);
    default: return true;
  }
}

TClassInfo::TClassInfo(std::string name, const TClassInfo* parent, ComponentFactory factory, std::vector<PropInfo> own,
                       ExactClass exact)
    : name_(std::move(name)), parent_(parent), factory_(factory), exact_(exact) {
  if (parent_ != nullptr) properties_ = parent_->Properties();
  for (PropInfo& p : own) {
    auto inherited = std::find_if(properties_.begin(), properties_.end(),
                                  [&](const PropInfo& q) { return SameText(q.name, p.name); });
    if (inherited != properties_.end()) {
      *inherited = std::move(p);
    } else {
      properties_.push_back(std::move(p));
    }
  }
}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
  for (const TClassInfo* c = this; c != nullptr; c = c->parent_) {
    if (c == &other) return true;
  }
  return false;
}

const PropInfo* TClassInfo::FindProperty(std::string_view name) const {
  for (const PropInfo& p : properties_) {
    if (SameText(p.name, name)) return &p;
  }
  return nullptr;
}

TComponent* TClassInfo::Create(TComponent* owner) const { return factory_ ? factory_(owner) : nullptr; }

const TClassInfo& TObject::StaticClass() {
  static const TClassInfo info("TObject", nullptr, nullptr, {});
  return info;
}

}  // namespace kv
