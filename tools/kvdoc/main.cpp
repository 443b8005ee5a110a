// kvdoc: writes the component reference (docs/reference.md) from the
// published-property tables and the descriptions kept beside this file.
//   kvdoc                  the reference on standard output
//   kvdoc --output FILE    written to FILE
//   kvdoc --check FILE     status 1 when FILE differs from a fresh generation
// Every run fails (status 1, nothing written) when a published property,
// event or enumeration has no description or a description names nothing.
#include <cstdio>
#include <sstream>
#include <string>

#include "Reference.h"
#include "korvane3d/Version.h"
#include "korvane3d/platform/win/FileAccess.h"

namespace {

constexpr const char* kUsage =
    "usage: kvdoc [--output FILE | --check FILE]\n"
    "  writes the component reference from the published-property tables\n";
constexpr const char* kRegenerate = "cmake --build build --target reference";

bool ReadFile(const std::string& name, std::string& text) {
  kv::files::FileBytes bytes;
  if (!kv::files::ReadWholeFile(name, std::uint64_t{64} << 20, bytes)) return false;
  text.assign(reinterpret_cast<const char*>(bytes.bytes().data()), bytes.size());
  return true;
}

// Line `index` (from 0) of `text`, or "(end of file)".
std::string LineAt(const std::string& text, std::size_t index) {
  std::istringstream in(text);
  std::string line;
  for (std::size_t i = 0; std::getline(in, line); ++i) {
    if (i == index) return line;
  }
  return "(end of file)";
}

// The first line, counted from 0, where the two texts differ.
std::size_t FirstDifferentLine(const std::string& a, const std::string& b) {
  std::size_t line = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] != b[i]) return line;
    if (a[i] == '\n') ++line;
  }
  return line;
}

int Check(const std::string& file, const std::string& fresh) {
  std::string committed;
  if (!ReadFile(file, committed)) {
    std::fprintf(stderr, "kvdoc: cannot read %s\n", file.c_str());
    return 1;
  }
  if (committed == fresh) return 0;
  const std::size_t line = FirstDifferentLine(committed, fresh);
  std::fprintf(stderr,
               "kvdoc: %s is out of date with the property tables; first difference at line %zu:\n"
               "  file:      %s\n  generated: %s\n"
               "Regenerate it with: %s\n",
               file.c_str(), line + 1, LineAt(committed, line).c_str(), LineAt(fresh, line).c_str(), kRegenerate);
  return 1;
}

int Write(const std::string& file, const std::string& text) {
  const kv::files::Result written =
      kv::files::ReplaceFile(file, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  if (!written) {
    std::fprintf(stderr, "kvdoc: %s\n", written.message.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode, file;
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("kvdoc %s\n", KORVANE3D_VERSION);
    return 0;
  }
  if (argc == 2 && std::string(argv[1]) == "--help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 3 && (std::string(argv[1]) == "--output" || std::string(argv[1]) == "--check")) {
    mode = argv[1];
    file = argv[2];
  } else if (argc != 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  const kvdoc::Reference reference = kvdoc::BuildReference();
  if (!reference.problems.empty()) {
    for (const std::string& problem : reference.problems) std::fprintf(stderr, "kvdoc: %s\n", problem.c_str());
    std::fprintf(stderr, "kvdoc: %zu problem(s); add or fix the texts in tools/kvdoc/\n", reference.problems.size());
    return 1;
  }
  const std::string text = kvdoc::WriteMarkdown(reference);
  if (mode == "--check") return Check(file, text);
  if (mode == "--output") return Write(file, text);
  std::fputs(text.c_str(), stdout);
  return 0;
}
