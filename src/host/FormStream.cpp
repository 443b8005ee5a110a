#include "korvane3d/host/FormStream.h"

#include "korvane3d/platform/win/FileAccess.h"

#include <filesystem>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormParser.h"
#include "korvane3d/host/Link.h"
#include "korvane3d/host/Properties.h"
#include "korvane3d/host/Registry.h"

namespace kv {

namespace {

constexpr std::uint64_t kMaxFormFileSize = 64u << 20;

bool ClassMatches(const TComponent& component, std::string_view className) {
  for (const TClassInfo* c = &component.ClassInfo(); c != nullptr; c = c->Parent()) {
    if (SameText(c->Name(), className)) return true;
  }
  return false;
}

// ---- Reading -------------------------------------------------------------------

class FormReader {
 public:
  // `folder`: where the form file lies (empty for text in memory); the root
  // remembers it for the data files its components name.
  FormReader(std::string source, std::string folder) : source_(std::move(source)), folder_(std::move(folder)) {}

  bool Read(const FormObject& tree, TComponent* instance, std::unique_ptr<TComponent>* createdRoot) {
    std::unique_ptr<TComponent> owned;
    if (instance != nullptr) {
      if (!ClassMatches(*instance, tree.className)) {
        return ErrorAt(tree.line, "the form holds a " + tree.className + ", not a " + instance->ClassName());
      }
      TakeSnapshot(instance);
      root_ = instance;
      oldFolder_ = instance->FormFolder();
    } else {
      owned.reset(Create(tree));
      if (owned == nullptr) return false;
      root_ = owned.get();
    }
    // Before any property is read: a texture or mesh file is looked for as
    // soon as its name is set.
    if (!folder_.empty()) root_->SetFormFolder(folder_);
    if (!ReadObject(tree, root_, nullptr) || !ResolveReferences()) {
      Undo();
      return false;
    }
    FinishLoading();
    if (createdRoot != nullptr) *createdRoot = std::move(owned);
    return true;
  }

 private:
  struct Reference {
    Link<TComponent> component;
    std::string path;
    std::string target;
    int line;
  };
  struct Snapshot {
    Link<TComponent> component;
    std::vector<std::pair<std::string, PropValue>> values;
    std::vector<std::pair<std::string, std::any>> events;
    TComponentState state;
  };

  bool ErrorAt(int line, const std::string& message) {
    return Fail(source_ + ":" + std::to_string(line) + ": " + message);
  }
  bool PropertyError(const FormProperty& p, const std::string& message) {
    return ErrorAt(p.line, "property \"" + p.path + "\": " + message);
  }

  TComponent* Create(const FormObject& node) {
    const TClassInfo* cls = FindClass(node.className);
    if (cls == nullptr) {
      ErrorAt(node.line, "unknown class " + node.className);
      return nullptr;
    }
    if (!cls->CanCreate()) {
      ErrorAt(node.line, "class " + cls->Name() + " cannot be created by name");
      return nullptr;
    }
    return cls->Create(root_);
  }

  bool ReadObject(const FormObject& node, TComponent* component, TComponent* parent) {
    component->SetStateFlag(csLoading, true);
    component->SetStateFlag(csReading, true);
    loaded_.emplace_back(component);
    visited_.insert(component);
    component->BeginReading();
    if (parent != nullptr) component->SetParentComponent(parent);
    if (!node.name.empty() && component->Name() != node.name && !component->SetName(node.name)) {
      return ErrorAt(node.line, LastErrorText());
    }
    for (const FormProperty& p : node.properties) {
      if (!ReadProperty(component, p)) return false;
    }
    for (const FormObject& child : node.children) {
      if (!ReadChild(child, component)) return false;
    }
    return true;
  }

  bool ReadChild(const FormObject& node, TComponent* parent) {
    TComponent* component = node.name.empty() ? nullptr : root_->FindComponent(node.name);
    if (component != nullptr) {
      if (visited_.contains(component)) return ErrorAt(node.line, "duplicate component name \"" + node.name + "\"");
      if (!ClassMatches(*component, node.className)) {
        return ErrorAt(node.line, "component " + node.name + " already exists as a " + component->ClassName());
      }
      TakeSnapshot(component);
    } else {
      component = Create(node);
      if (component == nullptr) return false;
      created_.emplace_back(component);
    }
    return ReadObject(node, component, parent);
  }

  bool ReadProperty(TComponent* component, const FormProperty& p) {
    PropertyRef ref;
    if (!FindPropertyPath(*component, p.path, ref)) return PropertyError(p, LastErrorText());
    const PropInfo& info = *ref.info;
    const FormValue& v = p.value;
    switch (info.kind) {
      case PropKind::Object: return PropertyError(p, "a property object; give its properties as dotted names");
      case PropKind::Event: return BindEvent(ref, p);
      case PropKind::Reference:
        if (!info.Writable()) return PropertyError(p, "read-only property");
        if (v.kind != FormValue::Kind::Ident) return PropertyError(p, "expected a component name");
        if (SameText(v.text, "nil")) {
          return info.set(*ref.holder, PropValue(static_cast<TObject*>(nullptr))) || PropertyError(p, LastErrorText());
        }
        references_.push_back(Reference{Link<TComponent>(component), p.path, v.text, p.line});
        return true;
      default: {
        if (!info.Writable()) return PropertyError(p, "read-only property");
        PropValue value;
        if (!FormValueToPropValue(info, v, value)) return PropertyError(p, LastErrorText());
        ClearLastError();
        if (!info.set(*ref.holder, value)) {
          return PropertyError(p, LastErrorText().empty() ? "value refused" : LastErrorText());
        }
        return true;
      }
    }
  }

  bool BindEvent(const PropertyRef& ref, const FormProperty& p) {
    if (p.value.kind != FormValue::Kind::Ident) return PropertyError(p, "expected a method name");
    const std::any* method = root_->FindMethod(p.value.text);
    if (method == nullptr) return PropertyError(p, "no method named " + p.value.text + " is registered");
    if (!ref.info->event(*ref.holder).BindMethod(p.value.text, *method)) {
      return PropertyError(p, "method " + p.value.text + " does not match the event's parameters");
    }
    return true;
  }

  bool ResolveReferences() {
    for (const Reference& r : references_) {
      TComponent* component = r.component.get();
      if (component == nullptr) continue;
      const FormProperty p{r.path, {}, r.line};
      TComponent* target = FindReference(root_, r.target);
      if (target == nullptr) return PropertyError(p, "no component named " + r.target);
      PropertyRef ref;
      if (!FindPropertyPath(*component, r.path, ref)) return PropertyError(p, LastErrorText());
      if (!ref.info->set(*ref.holder, PropValue(static_cast<TObject*>(target)))) {
        return PropertyError(p, LastErrorText());
      }
    }
    return true;
  }

  void FinishLoading() {
    for (const Link<TComponent>& l : loaded_) {
      if (TComponent* c = l.get()) c->SetStateFlag(csReading, false);
    }
    for (const Link<TComponent>& l : loaded_) {
      if (TComponent* c = l.get()) {
        c->Loaded();
        c->SetStateFlag(csLoading, false);
      }
    }
  }

  void TakeSnapshot(TComponent* component) {
    Snapshot& s = snapshots_.emplace_back();
    s.component = component;
    s.state = component->ComponentState();
    ForEachProperty(*component, [&](const std::string& path, TObject& holder, const PropInfo& info) {
      if (info.kind == PropKind::Event) {
        s.events.emplace_back(path, info.event(holder).Save());
      } else if (info.kind != PropKind::Object && info.Writable()) {
        s.values.emplace_back(path, info.get(holder));
      }
    });
  }

  void Restore(Snapshot& s) {
    TComponent* component = s.component.get();
    if (component == nullptr) return;
    for (const auto& [path, value] : s.values) {
      PropertyRef ref;
      if (FindPropertyPath(*component, path, ref)) ref.info->set(*ref.holder, value);
    }
    for (const auto& [path, saved] : s.events) {
      PropertyRef ref;
      if (FindPropertyPath(*component, path, ref)) ref.info->event(*ref.holder).Restore(saved);
    }
    component->SetStateFlag(csLoading, s.state.Contains(csLoading));
    component->SetStateFlag(csReading, s.state.Contains(csReading));
  }

  // Frees what this read created and sets back what it changed; the error
  // message of the failure survives.
  void Undo() {
    const std::string message = LastErrorText();
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) delete it->get();
    for (auto it = snapshots_.rbegin(); it != snapshots_.rend(); ++it) Restore(*it);
    if (root_ != nullptr && !folder_.empty()) root_->SetFormFolder(oldFolder_);
    SetLastErrorText(message);
  }

  std::string source_;
  std::string folder_;
  std::string oldFolder_;
  TComponent* root_ = nullptr;
  std::vector<Link<TComponent>> loaded_;
  // The components of loaded_, to find a name used twice; only compared,
  // never followed.
  std::unordered_set<const TComponent*> visited_;
  std::vector<Link<TComponent>> created_;
  std::vector<Reference> references_;
  std::vector<Snapshot> snapshots_;
};

// ---- Writing -------------------------------------------------------------------

class FormWriter {
 public:
  explicit FormWriter(TComponent* root) : root_(root) {}

  bool Write(std::string& text) {
    // Who is written inside whom, worked out once.
    for (int i = 0; i < root_->ComponentCount(); ++i) {
      TComponent* child = root_->Components(i);
      children_[WrittenInside(child)].push_back(child);
    }
    if (!WriteComponent(root_, 0)) return false;
    text = std::move(out_);
    return true;
  }

 private:
  void Line(int indent, const std::string& text) {
    out_.append(static_cast<std::size_t>(indent) * 2, ' ');
    out_ += text;
    out_ += '\n';
  }

  bool WriteComponent(TComponent* c, int indent) {
    if (indent > 64) return Fail("components nested too deeply under " + c->GetNamePath());
    Line(indent, "object " + (c->Name().empty() ? c->ClassName() : c->Name() + ": " + c->ClassName()));
    if (!WriteProperties(*c, "", indent + 1)) return false;
    auto it = children_.find(c);
    if (it != children_.end()) {
      for (TComponent* child : it->second) {
        if (child != c && !WriteComponent(child, indent + 1)) return false;
      }
    }
    Line(indent, "end");
    return true;
  }

  // Where a component owned by the root is written: inside its parent
  // component when the root owns that, otherwise at the top.
  TComponent* WrittenInside(TComponent* child) const {
    TComponent* parent = child->GetParentComponent();
    const bool parentWritten = parent != nullptr && parent != child && parent != root_ && parent->Owner() == root_;
    return parentWritten ? parent : root_;
  }

  bool WriteProperties(TObject& holder, const std::string& prefix, int indent) {
    for (const PropInfo& info : holder.ClassInfo().Properties()) {
      if (!info.IsStored(holder)) continue;
      const std::string path = prefix + info.name;
      if (info.kind == PropKind::Object) {
        TObject* sub = info.object(holder);
        if (sub != nullptr && indent < 64 && !WriteProperties(*sub, path + ".", indent)) return false;
        continue;
      }
      if (info.kind == PropKind::Event) {
        const std::string& method = info.event(holder).MethodName();
        if (!method.empty()) Line(indent, path + " = " + method);
        continue;
      }
      if (!info.Writable()) continue;
      const PropValue value = info.get(holder);
      if (info.stored == StoredRule::IfNotDefault && SameValue(value, info.defaultValue)) continue;
      std::string text;
      if (!ValueText(info, value, path, text)) return false;
      Line(indent, path + " = " + text);
    }
    return true;
  }

  bool ValueText(const PropInfo& info, const PropValue& value, const std::string& path, std::string& text) {
    if (info.kind != PropKind::Reference) {
      text = PropValueToText(info, value);
      return true;
    }
    auto* const* obj = std::get_if<TObject*>(&value);
    auto* target = obj != nullptr ? dynamic_cast<TComponent*>(*obj) : nullptr;
    if (target == nullptr) {
      text = "nil";
      return true;
    }
    if (target->Name().empty() || FindReference(root_, target->Name()) != target) {
      return Fail("property \"" + path + "\" refers to a component that cannot be named from " + root_->GetNamePath());
    }
    text = target->Name();
    return true;
  }

  TComponent* root_;
  // The root's components by the component they are written inside, in the
  // root's order.
  std::unordered_map<TComponent*, std::vector<TComponent*>> children_;
  std::string out_;
};

bool ReadFile(const std::string& fileName, std::string& text) {
  files::FileBytes bytes;
  if (files::Result read = files::ReadWholeFile(fileName, kMaxFormFileSize, bytes); !read)
    return Fail(read.error == files::Error::TooLarge ? fileName + ": file too large for a form" : read.message);
  text.assign(reinterpret_cast<const char*>(bytes.bytes().data()), bytes.size());
  return true;
}

// The absolute folder of a form file, so that a later change of the current
// folder does not move it.
std::string FolderOf(const std::string& fileName) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(fileName, ec);
  return ec ? std::string() : absolute.lexically_normal().parent_path().string();
}

bool ReadInto(std::string_view text, const std::string& source, const std::string& folder, TComponent* instance) {
  if (instance == nullptr) return Fail("no component to read " + source + " into");
  FormObject tree;
  return ParseForm(text, source, tree) && FormReader(source, folder).Read(tree, instance, nullptr);
}

std::unique_ptr<TComponent> ReadNew(std::string_view text, const std::string& source, const std::string& folder) {
  FormObject tree;
  std::unique_ptr<TComponent> root;
  if (ParseForm(text, source, tree)) FormReader(source, folder).Read(tree, nullptr, &root);
  return root;
}

}  // namespace

bool ReadComponentText(std::string_view text, const std::string& source, TComponent* instance) {
  return ReadInto(text, source, {}, instance);
}

std::unique_ptr<TComponent> ReadComponentText(std::string_view text, const std::string& source) {
  return ReadNew(text, source, {});
}

bool WriteComponentText(TComponent* component, std::string& text) {
  if (component == nullptr) return Fail("no component to write");
  component->SetStateFlag(csWriting, true);
  const bool ok = FormWriter(component).Write(text);
  component->SetStateFlag(csWriting, false);
  return ok;
}

bool ReadComponentResFile(const std::string& fileName, TComponent* instance) {
  std::string text;
  return ReadFile(fileName, text) && ReadInto(text, fileName, FolderOf(fileName), instance);
}

std::unique_ptr<TComponent> ReadComponentResFile(const std::string& fileName) {
  std::string text;
  if (!ReadFile(fileName, text)) return nullptr;
  return ReadNew(text, fileName, FolderOf(fileName));
}

bool WriteComponentResFile(const std::string& fileName, TComponent* component) {
  std::string text;
  if (!WriteComponentText(component, text)) return false;
  // Replaced as one step, so a failed write never leaves a half-written
  // form in place of a good one.
  const files::Result written =
      files::ReplaceFile(fileName, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  return written || Fail(written.message);
}

}  // namespace kv
