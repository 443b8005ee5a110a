// Helpers shared by the mesh-file tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "korvane3d/rm/xfile/XFile.h"

namespace kv::xfile::test {

inline std::filesystem::path TestdataDir() { return std::filesystem::path(KV_TESTDATA_DIR) / "xfile"; }

// Skips the calling test when the shared test files are not there.
#define KV_REQUIRE_XFILE_TESTDATA()                                                         \
  do {                                                                                      \
    if (!std::filesystem::is_directory(::kv::xfile::test::TestdataDir()))                   \
      GTEST_SKIP() << "shared test files not found at " << ::kv::xfile::test::TestdataDir(); \
  } while (0)

inline std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

inline Result ParseText(std::string_view text, MeshData& mesh, FileInfo* info = nullptr) {
  return Parse(Bytes(text), mesh, info);
}

// The sample sphere with every attribute the writer knows about: two
// materials (one textured, with a name that needs escaping), vertex colours
// and face wraps on top of normals and texture coordinates.
MeshData MakeRichSphere(int rings, int segments);

// Whether two records are equal, floats compared bit for bit.
::testing::AssertionResult SameMesh(const MeshData& a, const MeshData& b);

}  // namespace kv::xfile::test
