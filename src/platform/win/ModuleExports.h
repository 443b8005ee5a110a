// How a module built by this project publishes exports whose Windows names
// are not valid ELF symbol names (the text library's "@GetDXErrorString$ql":
// the linker reads "@" as a symbol version). Such a module defines the C
// symbol KvModuleExports, a table ending with a null name; GetProcAddress
// tries the exact name with the dynamic linker first, then this table.
#pragma once

namespace kv {

struct KvModuleExport {
  const char* name;
  void (*proc)();
};

}  // namespace kv
