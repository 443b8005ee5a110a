// Shared by the mesh-file fuzz targets: parse a body behind a given header;
// a record that loads must be consistent, hold finite coordinates only, and
// write and read back to the same record.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "korvane3d/rm/xfile/XFile.h"

namespace kv::xfile::fuzz {

inline bool SameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

inline void Require(bool condition) {
  if (!condition) std::abort();
}

inline void CheckRoundTrip(const MeshData& mesh, Encoding encoding) {
  Require(bool(CheckMesh(mesh)));
  SaveOptions options;
  options.encoding = encoding;
  options.textureTopology = true;
  MeshData back;
  Require(bool(Parse(Write(mesh, options), back)));
  Require(back.positions.size() == mesh.positions.size() && back.faceVertices == mesh.faceVertices &&
          back.faceNormals == mesh.faceNormals && back.faceMaterials == mesh.faceMaterials);
  for (std::size_t i = 0; i < mesh.positions.size(); ++i)
    for (int k = 0; k < 3; ++k) Require(std::isfinite(mesh.positions[i][k]) && SameBits(mesh.positions[i][k], back.positions[i][k]));
}

inline void ParseWithHeader(const char* header, const std::uint8_t* data, std::size_t size, Encoding encoding) {
  std::vector<std::uint8_t> file(header, header + 16);
  file.insert(file.end(), data, data + size);
  MeshData mesh;
  if (Parse(file, mesh)) CheckRoundTrip(mesh, encoding);
}

}  // namespace kv::xfile::fuzz
