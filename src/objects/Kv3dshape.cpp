// The generator base: handing a generated face set to the mesh, and the
// range checks every generator parameter goes through.
#include "korvane3d/objects/Kv3dshape.h"

#include <cmath>
#include <charconv>
#include <string>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/Kv3dmesh.h"

namespace kv {

namespace {

// The shortest text that reads back as the same float ("1", "0.5", "-1").
std::string Text(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace

const TClassInfo& TKV3DShape::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DShape, TPersistent>("TKV3DShape");
  return info;
}

TKV3DShape::TKV3DShape(TKV3DMesh* mesh, TMShapeType shapeType) : mesh_(mesh), shapeType_(shapeType) {}

TKV3DShape::~TKV3DShape() { mesh_ = nullptr; }

TPersistent* TKV3DShape::GetOwner() const { return mesh_; }

void TKV3DShape::Set() {
  if (mesh_ == nullptr || mesh_->ActiveShape() != shapeType_) return;
  Create();
  if (face_ == nullptr) return;
  // The face set is dropped whatever the mesh does with it (without a
  // builder the mesh stays without geometry).
  const std::unique_ptr<TKV3DFace> face = std::move(face_);
  mesh_->SetFace(face.get());
}

void TKV3DShape::Regenerate() {
  if (mesh_ != nullptr) mesh_->ChangeShape();
}

bool TKV3DShape::StoreParameter(std::int32_t& field, std::int32_t value, std::int32_t min, std::int32_t max,
                                const char* name) {
  if (value < min || value > max)
    return Fail(std::string(name) + " must be from " + std::to_string(min) + " to " + std::to_string(max) + ", not " +
                std::to_string(value));
  if (value == field) return true;
  field = value;
  Regenerate();
  return true;
}

bool TKV3DShape::StoreParameter(float& field, float value, float min, float max, const char* name) {
  if (!std::isfinite(value)) return Fail(std::string(name) + " must be a finite number");
  if (value < min || value > max) {
    const std::string range = std::isfinite(max) ? "from " + Text(min) + " to " + Text(max) : "at least " + Text(min);
    return Fail(std::string(name) + " must be " + range + ", not " + Text(value));
  }
  if (value == field) return true;
  field = value;
  Regenerate();
  return true;
}

}  // namespace kv
