// TKV3DFace: a set of faces with its own vertices and normals, the form in
// which geometry travels between the shape generators, the mesh and the user.
//
// Face data is a list of 32-bit words: per face the vertex count n (n >= 3),
// then n (vertex index, normal index) pairs in winding order, and after the
// last face one terminating 0. The indices refer to this set's own vertex
// and normal arrays. Sizes are counted in words, terminator included.
//
// A face set owns copies of its three arrays; whoever builds one keeps its
// own arrays. Threads: main thread.
#pragma once

#include <cstdint>
#include <vector>

#include "korvane3d/host/Persistent.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv {

class TKV3DFace : public TPersistent {
 public:
  KV_DECLARE_CLASS()

  // Copies the three arrays. A null array counts as empty whatever its count
  // says, so a careless caller cannot make the set read through null.
  TKV3DFace(std::uint32_t vertexCount, const D3DVECTOR* vertices, std::uint32_t normalCount, const D3DVECTOR* normals,
            std::uint32_t faceDataSize, const DWORD* faceData);
  // Takes the arrays over (the generators' way of handing their result on).
  TKV3DFace(std::vector<D3DVECTOR> vertices, std::vector<D3DVECTOR> normals, std::vector<DWORD> faceData);
  ~TKV3DFace() override;

  std::uint32_t VertexCount() const { return static_cast<std::uint32_t>(vertices_.size()); }
  const D3DVECTOR* Vertices() const { return vertices_.data(); }
  std::uint32_t NormalCount() const { return static_cast<std::uint32_t>(normals_.size()); }
  const D3DVECTOR* Normals() const { return normals_.data(); }
  std::uint32_t FaceDataSize() const { return static_cast<std::uint32_t>(faceData_.size()); }
  const DWORD* FaceData() const { return faceData_.data(); }

  const std::vector<D3DVECTOR>& VertexArray() const { return vertices_; }
  const std::vector<D3DVECTOR>& NormalArray() const { return normals_; }
  const std::vector<DWORD>& FaceDataArray() const { return faceData_; }

  // Number of face records before the terminator (0 for malformed data).
  std::uint32_t FaceCount() const;

  // True when the face data is a list of records of at least three corners
  // each, every vertex and normal index inside this set's arrays, ending in
  // the terminator exactly at its last word. Only such a set may be handed
  // to a mesh builder; otherwise the last error says what is wrong.
  bool IsWellFormed() const;

 private:
  std::vector<D3DVECTOR> vertices_;
  std::vector<D3DVECTOR> normals_;
  std::vector<DWORD> faceData_;
};

}  // namespace kv
