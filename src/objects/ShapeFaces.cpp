// Face-set assembly shared by the generators.
#include "korvane3d/objects/ShapeFaces.h"

#include <cmath>
#include <utility>

namespace kv::shapes {

void FaceSetBuilder::Reserve(std::size_t vertices, std::size_t normals, std::size_t words) {
  vertices_.reserve(vertices);
  normals_.reserve(normals);
  records_.reserve(words);
}

void FaceSetBuilder::WriteFace(const DWORD* corners, std::size_t count, const DWORD* sharedNormal) {
  records_.push_back(static_cast<DWORD>(count));
  for (std::size_t i = 0; i < count; ++i) {
    records_.push_back(corners[i]);
    records_.push_back(sharedNormal != nullptr ? *sharedNormal : corners[i]);
  }
}

void FaceSetBuilder::AddFace(std::initializer_list<DWORD> corners) { WriteFace(corners.begin(), corners.size(), nullptr); }

void FaceSetBuilder::AddFace(const std::vector<DWORD>& corners) { WriteFace(corners.data(), corners.size(), nullptr); }

void FaceSetBuilder::AddFaceWithNormal(std::initializer_list<DWORD> corners, DWORD normal) {
  WriteFace(corners.begin(), corners.size(), &normal);
}

void FaceSetBuilder::Append(const FaceSetBuilder& piece) {
  const auto vertexBase = static_cast<DWORD>(vertices_.size());
  const auto normalBase = static_cast<DWORD>(normals_.size());
  vertices_.insert(vertices_.end(), piece.vertices_.begin(), piece.vertices_.end());
  normals_.insert(normals_.end(), piece.normals_.begin(), piece.normals_.end());
  const std::vector<DWORD>& from = piece.records_;
  std::size_t pos = 0;
  while (pos < from.size()) {
    const DWORD corners = from[pos++];
    records_.push_back(corners);
    for (DWORD k = 0; k < corners; ++k, pos += 2) {
      records_.push_back(from[pos] + vertexBase);
      records_.push_back(from[pos + 1] + normalBase);
    }
  }
}

std::unique_ptr<TKV3DFace> FaceSetBuilder::Finish() {
  records_.push_back(0);
  return std::make_unique<TKV3DFace>(std::move(vertices_), std::move(normals_), std::move(records_));
}

float StepAngle(long double radians) { return static_cast<float>(radians); }

D3DVECTOR PointOnCircle(float angle) {
  const double a = angle;
  return {static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), 0.0f};
}

}  // namespace kv::shapes
