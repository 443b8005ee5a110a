// Text form files: writing a component with everything it owns, and reading
// it back (FormParser.h shows the format).
//
// Reading constructs each component with the root as its owner (a nested
// object also gets the enclosing one as its parent component), sets
// csLoading and csReading on all of them, calls BeginReading on each (a
// component that exists already sets back there what the form may leave
// out, so it ends as a new one would), sets the properties through their
// setters in file order, resolves references to components by name once the
// whole form is read (forward references work), clears csReading and calls
// Loaded on every component, the root first. Events name methods registered
// on the root or its owners (TComponent::RegisterMethod).
//
// Errors name the file, the line and the property:
//   form.kvf:12: property "Mesh.Verticess": unknown property of TKV3DObject
// and undo the read: the components it created are freed and the properties
// it changed on components that existed before are set back.
//
// Writing stores a property only when its value differs from its default,
// property objects' properties as dotted names, in publishing order.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "korvane3d/host/Component.h"

namespace kv {

// Reads into an existing root (the form's class must be the root's class or
// one of its ancestors). Components the root already owns under a name in
// the file are read into rather than created again. The root remembers the
// file's folder (TComponent::FormFolder) before any property is set, so the
// data files the form names are found beside it too.
bool ReadComponentResFile(const std::string& fileName, TComponent* instance);
// Creates the root from the class named in the file (a registered class).
std::unique_ptr<TComponent> ReadComponentResFile(const std::string& fileName);
bool WriteComponentResFile(const std::string& fileName, TComponent* component);

// The same on text in memory; `source` names the text in messages.
bool ReadComponentText(std::string_view text, const std::string& source, TComponent* instance);
std::unique_ptr<TComponent> ReadComponentText(std::string_view text, const std::string& source);
bool WriteComponentText(TComponent* component, std::string& text);

}  // namespace kv
