// A stand-in for the text library whose text function takes a second, so
// that a report made on another thread is still inside the library when the
// main thread lets the library go.
#include <chrono>
#include <thread>

#include "korvane3d/platform/win/ModuleExports.h"
#include "korvane3d/platform/win/WinTypes.h"

using kv::HRESULT;
using kv::KvModuleExport;

extern "C" {

__attribute__((visibility("default"))) const char* GetDXErrorString(HRESULT /*code*/) {
  std::this_thread::sleep_for(std::chrono::seconds(1));
  return "a slow library's text";
}

__attribute__((visibility("default"))) extern const KvModuleExport KvModuleExports[] = {
    {"@GetDXErrorString$ql", reinterpret_cast<void (*)()>(&GetDXErrorString)},
    {nullptr, nullptr},
};
}
