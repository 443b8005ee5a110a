// A face set: copies of vertices, normals and face data, and the check that
// its face data only refers to its own arrays.
#include "korvane3d/objects/Kv3dface.h"

#include <string>
#include <utility>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"

namespace kv {

namespace {

template <class T>
std::vector<T> CopyOf(const T* items, std::uint32_t count) {
  if (items == nullptr) return {};
  return std::vector<T>(items, items + count);
}

}  // namespace

const TClassInfo& TKV3DFace::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DFace, TPersistent>("TKV3DFace");
  return info;
}

TKV3DFace::TKV3DFace(std::uint32_t vertexCount, const D3DVECTOR* vertices, std::uint32_t normalCount,
                     const D3DVECTOR* normals, std::uint32_t faceDataSize, const DWORD* faceData)
    : vertices_(CopyOf(vertices, vertexCount)),
      normals_(CopyOf(normals, normalCount)),
      faceData_(CopyOf(faceData, faceDataSize)) {}

TKV3DFace::TKV3DFace(std::vector<D3DVECTOR> vertices, std::vector<D3DVECTOR> normals, std::vector<DWORD> faceData)
    : vertices_(std::move(vertices)), normals_(std::move(normals)), faceData_(std::move(faceData)) {}

TKV3DFace::~TKV3DFace() = default;

std::uint32_t TKV3DFace::FaceCount() const {
  if (!IsWellFormed()) return 0;
  std::uint32_t count = 0;
  for (std::size_t pos = 0; faceData_[pos] != 0; pos += 2 * std::size_t{faceData_[pos]} + 1) ++count;
  return count;
}

bool TKV3DFace::IsWellFormed() const {
  const std::size_t size = faceData_.size();
  std::size_t pos = 0;
  std::uint32_t record = 0;
  while (pos < size) {
    const std::size_t corners = faceData_[pos];
    if (corners == 0) {
      if (pos + 1 != size) return Fail("face data goes on after its terminator");
      return true;
    }
    const std::string where = "face " + std::to_string(record);
    if (corners < 3) return Fail(where + " has fewer than three corners");
    // The record's pairs must lie inside the data.
    if (corners > (size - pos - 1) / 2) return Fail(where + " runs past the end of the face data");
    for (std::size_t corner = 0; corner < corners; ++corner) {
      const DWORD vertex = faceData_[pos + 1 + 2 * corner];
      const DWORD normal = faceData_[pos + 2 + 2 * corner];
      if (vertex >= vertices_.size()) return Fail(where + " uses vertex " + std::to_string(vertex) + " of " + std::to_string(vertices_.size()));
      if (normal >= normals_.size()) return Fail(where + " uses normal " + std::to_string(normal) + " of " + std::to_string(normals_.size()));
    }
    pos += 2 * corners + 1;
    ++record;
  }
  return Fail("face data has no terminating 0");
}

}  // namespace kv
