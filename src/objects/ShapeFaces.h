// The one place where the shape generators write face data: a growing face
// set (vertices, normals, records) that knows the record layout, copies
// whole pieces with their indices moved, and ends as a TKV3DFace.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <vector>

#include "korvane3d/objects/Kv3dface.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv::shapes {

class FaceSetBuilder {
 public:
  void Reserve(std::size_t vertices, std::size_t normals, std::size_t words);

  void AddVertex(const D3DVECTOR& vertex) { vertices_.push_back(vertex); }
  void AddNormal(const D3DVECTOR& normal) { normals_.push_back(normal); }

  // A face whose corner k uses vertex k and normal k.
  void AddFace(std::initializer_list<DWORD> corners);
  void AddFace(const std::vector<DWORD>& corners);
  // A face whose corners all use the one normal given.
  void AddFaceWithNormal(std::initializer_list<DWORD> corners, DWORD normal);

  // Adds a copy of `piece` after what is here, its vertex and normal indices
  // moved past this set's arrays.
  void Append(const FaceSetBuilder& piece);

  std::vector<D3DVECTOR>& Vertices() { return vertices_; }
  std::vector<D3DVECTOR>& Normals() { return normals_; }
  const std::vector<D3DVECTOR>& Vertices() const { return vertices_; }
  const std::vector<D3DVECTOR>& Normals() const { return normals_; }
  // The records written so far, without the terminator.
  const std::vector<DWORD>& Records() const { return records_; }

  // Ends the face data and hands everything over as a face set.
  std::unique_ptr<TKV3DFace> Finish();

 private:
  // One record; each corner's normal is its own index or `sharedNormal`.
  void WriteFace(const DWORD* corners, std::size_t count, const DWORD* sharedNormal);

  std::vector<D3DVECTOR> vertices_;
  std::vector<D3DVECTOR> normals_;
  std::vector<DWORD> records_;
};

// `radians` of the extended-precision value stored as a float, the way every
// generator keeps its angle steps.
float StepAngle(long double radians);
// cos and sin of a float angle, evaluated in double and stored as floats.
D3DVECTOR PointOnCircle(float angle);

}  // namespace kv::shapes
