// The class registry: component classes the form reader can create by
// name, and the palette (component classes grouped by page).
//
//   RegisterComponents("Korvane", {&TKV3DView::StaticClass(), &TKV3DScene::StaticClass()});
//   RegisterClass(TForm::StaticClass());    // creatable by name, not on the palette
//
// Registration is process-wide and safe from any thread. Registering a class
// again is harmless; a different class under a name already taken is
// refused.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "korvane3d/host/TypeInfo.h"

namespace kv {

bool RegisterClass(const TClassInfo& cls);
bool RegisterComponents(std::string_view page, std::initializer_list<const TClassInfo*> classes);
template <class... T>
bool RegisterComponents(std::string_view page) {
  return RegisterComponents(page, {&T::StaticClass()...});
}

// The registered class with this name (any case), or null. The framework's
// own classes (TForm, TButton, TTimer, ...) are always registered.
const TClassInfo* FindClass(std::string_view name);
// A new component of the named class owned by `owner`; null with the last
// error set for an unknown class or one that cannot be created by name.
TComponent* CreateComponent(std::string_view className, TComponent* owner);

std::vector<std::string> PalettePages();  // in order of first registration
std::vector<const TClassInfo*> PaletteClasses(std::string_view page);

// Registers the framework's own classes; FindClass calls it. Defined with
// the controls.
void RegisterHostClasses();

}  // namespace kv
