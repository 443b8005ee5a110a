#include "korvane3d/host/Registry.h"

#include <algorithm>
#include <mutex>

#include "korvane3d/host/Component.h"
#include "korvane3d/host/Error.h"

namespace kv {

namespace {

struct Palette {
  std::string page;
  std::vector<const TClassInfo*> classes;
};

struct RegistryData {
  std::mutex mutex;
  std::vector<const TClassInfo*> classes;
  std::vector<Palette> palette;
};

RegistryData& Data() {
  static RegistryData data;
  return data;
}

// Caller holds the mutex.
bool AddClass(RegistryData& data, const TClassInfo& cls) {
  for (const TClassInfo* c : data.classes) {
    if (c == &cls) return true;
    if (SameText(c->Name(), cls.Name())) return Fail("another class is already registered as " + cls.Name());
  }
  data.classes.push_back(&cls);
  return true;
}

void EnsureHostClasses() {
  static std::once_flag once;
  std::call_once(once, [] { RegisterHostClasses(); });
}

}  // namespace

bool RegisterClass(const TClassInfo& cls) {
  RegistryData& data = Data();
  std::lock_guard lock(data.mutex);
  return AddClass(data, cls);
}

bool RegisterComponents(std::string_view page, std::initializer_list<const TClassInfo*> classes) {
  RegistryData& data = Data();
  std::lock_guard lock(data.mutex);
  auto it = std::find_if(data.palette.begin(), data.palette.end(), [&](const Palette& p) { return p.page == page; });
  if (it == data.palette.end()) it = data.palette.insert(data.palette.end(), Palette{std::string(page), {}});
  bool ok = true;
  for (const TClassInfo* cls : classes) {
    if (cls == nullptr || !cls->InheritsFrom(TComponent::StaticClass())) {
      ok = Fail("only component classes go on the palette");
      continue;
    }
    if (!AddClass(data, *cls)) {
      ok = false;
      continue;
    }
    if (std::find(it->classes.begin(), it->classes.end(), cls) == it->classes.end()) it->classes.push_back(cls);
  }
  return ok;
}

const TClassInfo* FindClass(std::string_view name) {
  EnsureHostClasses();
  RegistryData& data = Data();
  std::lock_guard lock(data.mutex);
  for (const TClassInfo* c : data.classes) {
    if (SameText(c->Name(), name)) return c;
  }
  return nullptr;
}

TComponent* CreateComponent(std::string_view className, TComponent* owner) {
  const TClassInfo* cls = FindClass(className);
  if (cls == nullptr) {
    Fail("unknown class " + std::string(className));
    return nullptr;
  }
  if (!cls->CanCreate()) {
    Fail("class " + cls->Name() + " cannot be created by name");
    return nullptr;
  }
  return cls->Create(owner);
}

std::vector<std::string> PalettePages() {
  RegistryData& data = Data();
  std::lock_guard lock(data.mutex);
  std::vector<std::string> pages;
  for (const Palette& p : data.palette) pages.push_back(p.page);
  return pages;
}

std::vector<const TClassInfo*> PaletteClasses(std::string_view page) {
  RegistryData& data = Data();
  std::lock_guard lock(data.mutex);
  for (const Palette& p : data.palette) {
    if (p.page == page) return p.classes;
  }
  return {};
}

}  // namespace kv
