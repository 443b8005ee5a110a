// Builds the reference from the class information of the package: one
// instance of each component (owned by a form, on the headless backend)
// gives the initial value of every property, its own and its property
// objects'; the descriptions give the words.
#include "Reference.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <typeindex>

#include "Descriptions.h"
#include "korvane3d/Korvane3D.h"
#include "korvane3d/host/Properties.h"
#include "korvane3d/host/Registry.h"

namespace kvdoc {

namespace {

using kv::PropInfo;
using kv::PropKind;
using kv::TClassInfo;
using kv::TObject;

std::string IntegerType(const PropInfo& p) {
  struct Range {
    std::int64_t min, max;
    const char* name;
  };
  static const Range ranges[] = {
      {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), "int32_t"},
      {std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max(), "int16_t"},
      {0, std::numeric_limits<std::uint32_t>::max(), "uint32_t"},
      {0, std::numeric_limits<std::uint16_t>::max(), "uint16_t"},
      {0, std::numeric_limits<std::uint8_t>::max(), "uint8_t"},
  };
  for (const Range& r : ranges) {
    if (p.minValue == r.min && p.maxValue == r.max) return r.name;
  }
  return "integer " + std::to_string(p.minValue) + " to " + std::to_string(p.maxValue);
}

// A property object of some component, reached by a dotted path.
struct Holder {
  std::string path;  // "TKV3DObject.Mesh.Sphere"
  TObject* instance;
};

class Builder {
 public:
  Reference Build();

 private:
  void AddComponents(kv::TComponent* owner);
  void AddFormClasses();
  void AddClassesWithMethods(std::vector<Section>& into, std::initializer_list<const char*> names);
  Section ClassSection(const TClassInfo& cls, const std::vector<Holder>& holders);
  void Discover(TObject& holder, const std::string& path);
  void AddProperty(Section& section, const TClassInfo& cls, const PropInfo& p, const std::vector<Holder>& holders);
  std::string ValueText(const PropInfo& p, TObject& holder);
  std::string CommonValue(const PropInfo& p, const std::vector<Holder>& holders);
  std::string TypeText(const PropInfo& p);
  std::string EventParameters(const PropInfo& p, TObject& holder, std::string& typeName);
  std::string MemberText(const TClassInfo& cls, const std::string& member);
  std::string Required(const std::string& key);
  void AddMethods(Section& section);
  void AddEnumerations();
  void AddEventTypes();
  void AddFunctions();
  void CheckLeftovers();
  void Problem(const std::string& text) {
    if (std::find(ref_.problems.begin(), ref_.problems.end(), text) == ref_.problems.end()) {
      ref_.problems.push_back(text);
    }
  }

  Descriptions texts_;
  Reference ref_;
  // Property-object classes in the order they were reached, with every
  // instance seen.
  std::vector<std::pair<const TClassInfo*, std::vector<Holder>>> objects_;
  std::map<std::string, const kv::EnumInfo*> enums_;
  std::map<std::string, const EventSignature*> eventTypes_;
  std::set<std::string> methodClassesShown_;
};

std::string Builder::Required(const std::string& key) {
  if (const std::string* text = texts_.Find(key)) return *text;
  Problem("no description for " + key);
  return {};
}

// The text of a property or event: the class's own key or, failing that,
// the key of the nearest parent class that has one.
std::string Builder::MemberText(const TClassInfo& cls, const std::string& member) {
  for (const TClassInfo* c = &cls; c != nullptr; c = c->Parent()) {
    if (const std::string* text = texts_.Find(c->Name() + "." + member)) return *text;
  }
  Problem("no description for " + cls.Name() + "." + member + " (nor for it in a parent class)");
  return {};
}

std::string Builder::TypeText(const PropInfo& p) {
  switch (p.kind) {
    case PropKind::Boolean: return "bool";
    case PropKind::Integer:
    case PropKind::Unsigned: return IntegerType(p);
    case PropKind::Single: return "float";
    case PropKind::Double: return "double";
    case PropKind::Enum: enums_[p.enumInfo->typeName] = p.enumInfo; return p.enumInfo->typeName;
    case PropKind::Set: enums_[p.enumInfo->typeName] = p.enumInfo; return "set of " + p.enumInfo->typeName;
    case PropKind::String: return "string";
    case PropKind::Color: return "TColor";
    case PropKind::Reference:
    case PropKind::Object: return p.classOf != nullptr ? p.classOf().Name() : "TObject";
    case PropKind::Event: return {};
  }
  return {};
}

std::string Builder::ValueText(const PropInfo& p, TObject& holder) {
  const kv::PropValue value = p.get(holder);
  if (p.kind == PropKind::Reference) {
    auto* const* target = std::get_if<TObject*>(&value);
    if (target == nullptr || *target == nullptr) return "nil";
    if (*target == kv::ComponentOf(holder)) return "(its own component)";
    return kv::PropValueToText(p, value);
  }
  return kv::PropValueToText(p, value);
}

// The value most instances start with; the others follow with the paths
// where they hold.
std::string Builder::CommonValue(const PropInfo& p, const std::vector<Holder>& holders) {
  std::vector<std::pair<std::string, std::vector<std::string>>> groups;
  for (const Holder& h : holders) {
    const std::string text = ValueText(p, *h.instance);
    auto it = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == text; });
    if (it == groups.end()) it = groups.insert(groups.end(), {text, {}});
    it->second.push_back(h.path);
  }
  std::stable_sort(groups.begin(), groups.end(),
                   [](const auto& a, const auto& b) { return a.second.size() > b.second.size(); });
  std::string text = "`" + groups.front().first + "`";
  for (std::size_t i = 1; i < groups.size(); ++i) {
    std::string paths;
    for (const std::string& path : groups[i].second) paths += (paths.empty() ? "" : ", ") + path;
    text += "; `" + groups[i].first + "` in " + paths;
  }
  return text;
}

std::string Builder::EventParameters(const PropInfo& p, TObject& holder, std::string& typeName) {
  // The event member's dynamic type tells its signature.
  const auto& event = p.event(holder);
  const std::type_index type = typeid(event);
  for (const EventSignature& s : EventSignatures()) {
    if (s.type != type) continue;
    eventTypes_[s.typeName] = &s;
    typeName = s.typeName;
    std::string text;
    for (const std::string& parameter : s.parameters) text += (text.empty() ? "" : ", ") + parameter;
    return "(" + text + ")";
  }
  Problem("no event type in EventTypes.cpp for " + holder.ClassName() + "." + p.name);
  return {};
}

void Builder::AddProperty(Section& section, const TClassInfo& cls, const PropInfo& p,
                          const std::vector<Holder>& holders) {
  Row row;
  row.name = p.name;
  row.text = MemberText(cls, p.name);
  if (p.kind == PropKind::Event) {
    if (holders.empty()) return;
    row.value = EventParameters(p, *holders.front().instance, row.type);
    section.events.push_back(row);
    return;
  }
  row.type = TypeText(p);
  if (p.kind != PropKind::Object && !holders.empty()) row.value = CommonValue(p, holders);
  if (!p.Writable()) row.text += " Read-only.";
  section.properties.push_back(row);
}

Section Builder::ClassSection(const TClassInfo& cls, const std::vector<Holder>& holders) {
  Section section;
  section.name = cls.Name();
  // Property objects' bases (TPersistent and the like) tell a reader nothing.
  if (cls.InheritsFrom(kv::TComponent::StaticClass()) && cls.Parent() != nullptr) section.parent = cls.Parent()->Name();
  section.text = Required(cls.Name());
  for (const PropInfo& p : cls.Properties()) AddProperty(section, cls, p, holders);
  AddMethods(section);
  return section;
}

void Builder::AddMethods(Section& section) {
  for (const MethodDoc& m : Methods()) {
    if (m.className != section.name) continue;
    section.methods.push_back(Row{m.signature, "", "", m.text});
  }
  methodClassesShown_.insert(section.name);
}

// Records every property object under `holder`, depth first, in
// publishing order.
void Builder::Discover(TObject& holder, const std::string& path) {
  for (const PropInfo& p : holder.ClassInfo().Properties()) {
    if (p.kind != PropKind::Object) continue;
    TObject* sub = p.object(holder);
    if (sub == nullptr) continue;
    const TClassInfo* cls = &sub->ClassInfo();
    auto it = std::find_if(objects_.begin(), objects_.end(), [&](const auto& o) { return o.first == cls; });
    if (it == objects_.end()) it = objects_.insert(objects_.end(), {cls, {}});
    const std::string subPath = path + "." + p.name;
    it->second.push_back(Holder{subPath, sub});
    Discover(*sub, subPath);
  }
}

void Builder::AddComponents(kv::TComponent* owner) {
  for (const TClassInfo* cls : kv::PaletteClasses(kv::kPalettePage)) {
    kv::TComponent* instance = cls->Create(owner);
    if (instance == nullptr) {
      Problem("cannot create a " + cls->Name());
      continue;
    }
    Discover(*instance, cls->Name());
    ref_.components.push_back(ClassSection(*cls, {Holder{cls->Name(), instance}}));
  }
  for (const auto& [cls, holders] : objects_) ref_.propertyObjects.push_back(ClassSection(*cls, holders));
}

void Builder::AddFormClasses() {
  auto form = std::make_unique<kv::TForm>(nullptr);
  ref_.formClasses.push_back(ClassSection(kv::TForm::StaticClass(), {Holder{"TForm", form.get()}}));
  for (const char* name : {"TButton", "TTimer"}) {
    const TClassInfo* cls = kv::FindClass(name);
    kv::TComponent* instance = cls != nullptr ? cls->Create(form.get()) : nullptr;
    if (instance == nullptr) {
      Problem(std::string("cannot create a ") + name);
      continue;
    }
    ref_.formClasses.push_back(ClassSection(*cls, {Holder{name, instance}}));
  }
}

// Classes documented for their methods: bases the components share and
// helpers that application code meets.
void Builder::AddClassesWithMethods(std::vector<Section>& into, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    Section section;
    section.name = name;
    section.text = Required(name);
    AddMethods(section);
    into.push_back(std::move(section));
  }
}

void Builder::AddEnumerations() {
  for (const auto& [name, info] : enums_) {
    Section section;
    section.name = name;
    section.text = Required(name);
    bool anyValueText = false;
    std::vector<std::string> missing;
    for (std::size_t i = 0; i < info->names.size(); ++i) {
      Row row{info->names[i], "", std::to_string(i), ""};
      if (const std::string* text = texts_.Find(name + "." + info->names[i])) {
        row.text = *text;
        anyValueText = true;
      } else {
        missing.push_back(name + "." + info->names[i]);
      }
      section.properties.push_back(row);
    }
    // Values are described all or none (display modes need no words).
    if (anyValueText) {
      for (const std::string& key : missing) Problem("no description for " + key);
    }
    ref_.enumerations.push_back(std::move(section));
  }
}

void Builder::AddEventTypes() {
  for (const auto& [name, signature] : eventTypes_) {
    Section section;
    section.name = name;
    for (const std::string& parameter : signature->parameters) {
      const std::size_t colon = parameter.find(':');
      section.properties.push_back(Row{parameter.substr(0, colon), parameter.substr(colon + 2), "", ""});
    }
    ref_.eventTypes.push_back(std::move(section));
  }
}

void Builder::AddFunctions() {
  for (const FunctionDoc& f : Functions()) ref_.functions.push_back(Row{f.signature, "", "", f.text});
}

void Builder::CheckLeftovers() {
  for (const MethodDoc& m : Methods()) {
    if (methodClassesShown_.count(m.className) == 0) {
      Problem("method " + m.className + "::" + m.name + " belongs to no class of the reference");
    }
  }
  for (const EventSignature& s : EventSignatures()) {
    if (eventTypes_.count(s.typeName) == 0) Problem("event type " + s.typeName + " is published by nothing");
  }
  for (const std::string& key : texts_.Unused()) Problem("description " + key + " names nothing published");
}

Reference Builder::Build() {
  kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
  kv::Register();
  {
    auto owner = std::make_unique<kv::TForm>(nullptr);
    AddComponents(owner.get());
  }
  AddFormClasses();
  AddClassesWithMethods(ref_.bases, {"TComponent", "TControl", "TKV3DCustomFrame", "TKVIInputDevice"});
  AddClassesWithMethods(ref_.helpers, {"TApplication", "TKV3DFace", "TKV3DVertex"});
  AddEnumerations();
  AddEventTypes();
  AddFunctions();
  CheckLeftovers();
  return std::move(ref_);
}

}  // namespace

Reference BuildReference() { return Builder().Build(); }

}  // namespace kvdoc
