// Run-time class information: each class of the framework and of the package
// has one TClassInfo, built once, holding its name, its parent class, a
// factory (for component classes that can be created by name) and its table
// of published properties in publishing order (the parent's first). The
// tables drive the form reader and writer, generic property access by name
// and property listings. PropertyBuilder.h declares the tables.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <variant>
#include <vector>

namespace kv {

class TObject;
class TPersistent;
class TComponent;
class TClassInfo;
class TEventBase;

enum class PropKind { Boolean, Integer, Unsigned, Single, Double, Enum, Set, String, Color, Reference, Object, Event };

// The value names of an enumeration type; the ordinal of a value is its
// index. Sets of the enumeration use the same names.
struct EnumInfo {
  std::string typeName;
  std::vector<std::string> names;

  // Index of `name` (compared without regard to case), or -1.
  int IndexOf(std::string_view name) const;
};

// A property value as a typed value:
//   Bool -> bool; Integer, Unsigned, Enum (ordinal), Color -> int64;
//   Set -> uint64 (bit n = ordinal n); Single, Double -> double;
//   String -> string; Event -> string (the bound method's name);
//   Reference -> TObject* (a component or null); Object -> TObject* (the
//   owned property object; setting one copies the given object with Assign).
using PropValue = std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string, TObject*>;

enum class StoredRule { IfNotDefault, Unconditional, Never, Predicate };

struct PropInfo {
  std::string name;
  PropKind kind = PropKind::Integer;
  const EnumInfo* enumInfo = nullptr;          // Enum and Set
  const TClassInfo& (*classOf)() = nullptr;    // Reference and Object: the expected class
  std::int64_t minValue = 0, maxValue = 0;     // Integer, Unsigned, Enum: range of the C++ type

  std::function<PropValue(TObject&)> get;
  std::function<bool(TObject&, const PropValue&)> set;  // empty: read-only
  std::function<TPersistent*(TObject&)> object;          // Object
  std::function<TEventBase&(TObject&)> event;            // Event

  PropValue defaultValue;
  StoredRule stored = StoredRule::IfNotDefault;
  std::function<bool(TObject&)> storedIf;  // Predicate

  bool Writable() const { return static_cast<bool>(set); }
  bool IsStored(TObject& instance) const;  // the stored rule, default aside
};

using ComponentFactory = TComponent* (*)(TComponent* owner);

// The exact C++ class a TClassInfo describes, and whether that class's
// Notification takes no notice of inserts nor of frees (Component.h): an
// owner passing those on may skip an instance whose dynamic type is exactly
// this class.
struct ExactClass {
  const std::type_info* type = nullptr;
  bool ignoresInsertsAndFrees = false;
};

class TClassInfo {
 public:
  TClassInfo(std::string name, const TClassInfo* parent, ComponentFactory factory, std::vector<PropInfo> own,
             ExactClass exact = {});
  TClassInfo(TClassInfo&&) = default;
  TClassInfo(const TClassInfo&) = delete;
  TClassInfo& operator=(const TClassInfo&) = delete;

  const std::string& Name() const { return name_; }
  const TClassInfo* Parent() const { return parent_; }
  bool InheritsFrom(const TClassInfo& other) const;
  const ExactClass& Exact() const { return exact_; }

  // Published properties, the parent's first, in publishing order. A class
  // that publishes a property under an inherited name replaces the inherited
  // entry in its place (to change its default, for example).
  const std::vector<PropInfo>& Properties() const { return properties_; }
  const PropInfo* FindProperty(std::string_view name) const;  // without regard to case

  bool CanCreate() const { return factory_ != nullptr; }
  // A new instance owned by `owner` (owned by the caller when owner is null),
  // or null when the class cannot be created by name.
  TComponent* Create(TComponent* owner) const;

 private:
  std::string name_;
  const TClassInfo* parent_;
  ComponentFactory factory_;
  std::vector<PropInfo> properties_;
  ExactClass exact_;
};

// Case-insensitive comparison of ASCII names (component, property, class and
// value names are compared this way throughout the framework).
bool SameText(std::string_view a, std::string_view b);
bool IsValidIdent(std::string_view name);

}  // namespace kv
