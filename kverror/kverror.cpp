// libkverror.so ("kverror.dll"): maps an HRESULT to a readable text. Knows
// every code the project's display, 3D, retained-mode and input layers
// return, and the common COM codes; null for any other code.
#include <algorithm>
#include <array>

#include "korvane3d/platform/win/ModuleExports.h"
#include "korvane3d/platform/win/WinTypes.h"

using kv::HRESULT;
using kv::KvModuleExport;

namespace {

struct Entry {
  HRESULT code;
  const char* text;
};

// "NAME: description", one per distinct value; the first name listed for a
// value wins.
constexpr Entry kEntries[] = {
#define KV_HRESULT(name, value, text) {static_cast<HRESULT>(value##u), #name ": " text},
#include "korvane3d/platform/win/HResultList.inc"
#undef KV_HRESULT
};

const char* Lookup(HRESULT code) {
  auto it = std::find_if(std::begin(kEntries), std::end(kEntries), [code](const Entry& e) { return e.code == code; });
  return it == std::end(kEntries) ? nullptr : it->text;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) const char* GetDXErrorString(HRESULT code) { return Lookup(code); }

// The export under its Windows name, for GetProcAddress.
__attribute__((visibility("default"))) extern const KvModuleExport KvModuleExports[] = {
    {"@GetDXErrorString$ql", reinterpret_cast<void (*)()>(&GetDXErrorString)},
    {nullptr, nullptr},
};
}
