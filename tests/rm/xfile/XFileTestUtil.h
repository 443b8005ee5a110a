// Helpers shared by the mesh-file tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "korvane3d/rm/xfile/XFile.h"
#include "support/SharedTestData.h"

namespace kv::xfile::test {

// The real mesh files among the shared samples (KV_REQUIRE_SHARED_FILE("xfile")).
inline std::filesystem::path TestdataDir() { return kvtest::SharedTestDataDir() / "xfile"; }

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
