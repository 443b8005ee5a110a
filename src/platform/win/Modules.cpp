// Loading modules by their Windows names. "name.dll" is this project's
// "libname.so", looked for beside the executable, then beside the library
// holding this code, then on the dynamic linker's search path.
#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "korvane3d/platform/win/HandleTable.h"
#include "korvane3d/platform/win/ModuleExports.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

using namespace kv::win::detail;

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The shared-object file name for a Windows module name.
std::string SharedObjectName(const std::string& base) {
  std::string lower = Lower(base);
  if (EndsWith(lower, ".so") || lower.find(".so.") != std::string::npos) return base;
  std::string stem = EndsWith(lower, ".dll") ? lower.substr(0, lower.size() - 4) : lower;
  if (!stem.starts_with("lib")) stem = "lib" + stem;
  return stem + ".so";
}

std::vector<fs::path> SearchFolders() {
  std::vector<fs::path> folders;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) folders.push_back(exe.parent_path());
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&SearchFolders), &info) && info.dli_fname) {
    fs::path lib = fs::weakly_canonical(fs::path(info.dli_fname), ec).parent_path();
    if (!ec && std::find(folders.begin(), folders.end(), lib) == folders.end()) folders.push_back(lib);
  }
#ifdef KV_INSTALL_LIBDIR
  // Where an installed package keeps its modules: found by a program linked
  // statically against the package, wherever that program lives.
  fs::path installed(KV_INSTALL_LIBDIR);
  if (std::find(folders.begin(), folders.end(), installed) == folders.end()) folders.push_back(installed);
#endif
  return folders;
}

// Loaded modules. Loading the same module again gives the same handle and
// needs one more FreeLibrary, as on Windows.
class ModuleTable {
 public:
  static ModuleTable& Instance() {
    static ModuleTable table;
    return table;
  }
  static std::uintptr_t BuiltinHandle() {
    return (static_cast<std::uintptr_t>(HandleKind::Module) << 40) | 0x10;
  }

  HMODULE Adopt(void* dl) {
    std::lock_guard lock(mutex_);
    for (auto& [handle, entry] : modules_) {
      if (entry.dl == dl) {
        ++entry.loads;
        return MakeHandle<HMODULE>(handle);
      }
    }
    std::uintptr_t handle = (static_cast<std::uintptr_t>(HandleKind::Module) << 40) | ++counter_;
    modules_.emplace(handle, Entry{dl, 1});
    return MakeHandle<HMODULE>(handle);
  }

  bool Free(HMODULE module) {
    std::lock_guard lock(mutex_);
    if (HandleValue(module) == BuiltinHandle()) return true;
    auto it = modules_.find(HandleValue(module));
    if (it == modules_.end()) return false;
    dlclose(it->second.dl);  // one per successful dlopen
    if (--it->second.loads == 0) modules_.erase(it);
    return true;
  }

  FARPROC Resolve(HMODULE module, const char* name) {
    std::lock_guard lock(mutex_);  // keeps the module loaded while we look
    void* dl = RTLD_DEFAULT;
    if (HandleValue(module) != BuiltinHandle()) {
      auto it = modules_.find(HandleValue(module));
      if (it == modules_.end()) return nullptr;
      dl = it->second.dl;
    }
    if (void* sym = dlsym(dl, name)) return reinterpret_cast<FARPROC>(sym);
    if (dl == RTLD_DEFAULT) return nullptr;
    auto* table = static_cast<const KvModuleExport*>(dlsym(dl, "KvModuleExports"));
    for (; table && table->name; ++table) {
      if (std::strcmp(table->name, name) == 0) return table->proc;
    }
    return nullptr;
  }

 private:
  struct Entry {
    void* dl;
    int loads;
  };
  std::mutex mutex_;
  std::unordered_map<std::uintptr_t, Entry> modules_;
  std::uintptr_t counter_ = 0x100;
};

}  // namespace

HMODULE LoadLibraryA(LPCSTR name) {
  if (!name || !*name) return nullptr;
  std::string full(name);
  std::string base = full.substr(full.find_last_of("/\\") == std::string::npos ? 0 : full.find_last_of("/\\") + 1);
  std::string lower = Lower(base);
  if (lower == "ddraw.dll" || lower == "ddraw") return MakeHandle<HMODULE>(ModuleTable::BuiltinHandle());
  std::vector<std::string> candidates;
  if (full.find('/') != std::string::npos) {
    candidates.push_back(full);  // a path names its file directly
  } else {
    std::string file = SharedObjectName(base);
    for (const auto& folder : SearchFolders()) candidates.push_back((folder / file).string());
    candidates.push_back(file);
  }
  for (const auto& candidate : candidates) {
    if (void* dl = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return ModuleTable::Instance().Adopt(dl);
  }
  return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR exportName) {
  // Names only: a value below 64K would be an export's ordinal.
  if (!exportName || reinterpret_cast<std::uintptr_t>(exportName) < 0x10000 || !*exportName) return nullptr;
  return ModuleTable::Instance().Resolve(module, exportName);
}

BOOL FreeLibrary(HMODULE module) { return ModuleTable::Instance().Free(module) ? TRUE : FALSE; }

}  // namespace kv
