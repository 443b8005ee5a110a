// Generic access to published properties by name, as text or as typed
// values (TypeInfo.h describes PropValue). Names are dotted paths into
// property objects ("Position.X") and are compared without regard to case.
// Every function returns false with the last error set on an unknown name,
// a read-only property or a bad value, and leaves the object as it was.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "korvane3d/host/FormParser.h"
#include "korvane3d/host/Object.h"

namespace kv {

struct PropertyRef {
  TObject* holder = nullptr;  // the object whose table holds the property
  const PropInfo* info = nullptr;
};

// Follows `path` from `instance` through its property objects.
bool FindPropertyPath(TObject& instance, std::string_view path, PropertyRef& out);

bool GetPropValue(TObject& instance, std::string_view path, PropValue& value);
bool SetPropValue(TObject& instance, std::string_view path, const PropValue& value);
// Text as the form files write it ("clNavy", "[a, b]", "'text'", "1.5").
bool GetPropText(TObject& instance, std::string_view path, std::string& text);
bool SetPropText(TObject& instance, std::string_view path, std::string_view text);

// Every published property of `instance` with its dotted path, in
// publishing order; a property object is reported and then followed by its
// own properties.
using PropertyVisitor = std::function<void(const std::string& path, TObject& holder, const PropInfo& info)>;
void ForEachProperty(TObject& instance, const PropertyVisitor& visit);

// ---- Shared by the form reader and writer -----------------------------------

// The text of a typed value of `info` (not for Object properties; a
// Reference is written by the caller, which knows the name scope).
std::string PropValueToText(const PropInfo& info, const PropValue& value);
// Converts a parsed form value for a property of any kind but Reference,
// Object and Event.
bool FormValueToPropValue(const PropInfo& info, const FormValue& text, PropValue& value);
// Whether the property's current value equals its default (floats compared
// bit for bit, so -0.0 is not 0.0).
bool SameValue(const PropValue& a, const PropValue& b);
// The component a name refers to from `scope`: the components owned by the
// scope and its owners, and those owners themselves.
TComponent* FindReference(TComponent* scope, std::string_view name);
// The nearest component owning `holder` (holder itself when a component).
TComponent* ComponentOf(TObject& holder);

}  // namespace kv
