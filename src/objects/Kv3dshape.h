// The shape generators of a mesh: the regular prism (polygon, ring, solid
// prism, tube), the sphere and the cube. Each makes unit-sized geometry at
// the object's origin as a TKV3DFace; the object's scale sizes it.
//
// A mesh owns one generator of each kind. A generator's Create works without
// a mesh and leaves its result in Face(); Set runs Create when the mesh's
// ActiveShape is the generator's own and hands the face set to the mesh's
// SetFace. Every accepted parameter change asks the mesh to regenerate
// (ChangeShape), whichever source is active.
//
// Parameter ranges. Values outside them are refused (the old value stays and
// the setter returns false with the reason as the last error); the upper
// bounds keep the generated geometry's memory bounded:
//   Prism  Vertices 3 .. 65536, Depth finite and >= 0, Aperture 0 .. 1
//   Sphere Edges 3 .. 1024, Walls 2 .. 1024
//   Cube   Grid 3 .. 512
//
// Threads: main thread.
#pragma once

#include <cstdint>
#include <memory>

#include "korvane3d/host/Persistent.h"
#include "korvane3d/objects/Kv3dface.h"
#include "korvane3d/objects/Kv3dmesh.h"  // TMShapeType

namespace kv {

class TKV3DShape : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  TKV3DShape(TKV3DMesh* mesh, TMShapeType shapeType);
  ~TKV3DShape() override;

  // The ActiveShape value this generator serves.
  TMShapeType ShapeType() const { return shapeType_; }
  TKV3DMesh* Mesh() const { return mesh_; }
  TPersistent* GetOwner() const override;

  // Makes the geometry into Face(), replacing any earlier result.
  virtual void Create() = 0;
  // The face set of the last Create; null when there is none.
  TKV3DFace* Face() const { return face_.get(); }
  // Hands the last result over to the caller and clears Face().
  std::unique_ptr<TKV3DFace> TakeFace() { return std::move(face_); }

  // When there is a mesh whose ActiveShape is this generator's: Create, then
  // give the face set to the mesh's SetFace and drop it.
  void Set();

 protected:
  void SetResult(std::unique_ptr<TKV3DFace> face) { face_ = std::move(face); }
  // A parameter setter's work: refuses a value outside min..max (or not
  // finite) with "<name> must be ...", does nothing for an equal value,
  // otherwise stores it and regenerates the mesh.
  bool StoreParameter(std::int32_t& field, std::int32_t value, std::int32_t min, std::int32_t max, const char* name);
  bool StoreParameter(float& field, float value, float min, float max, const char* name);
  // The mesh's ChangeShape, when there is a mesh.
  void Regenerate();

 private:
  TKV3DMesh* mesh_;
  TMShapeType shapeType_;
  std::unique_ptr<TKV3DFace> face_;
};

// A regular polygon of Vertices corners with circumradius 1 in the plane
// z = 0, corners running clockwise from +x when seen from +z. Depth extends
// it along +z into a prism, Aperture cuts a hole of that relative radius:
//   Depth 0, Aperture 0: flat polygon      Depth > 0, Aperture 0: solid prism
//   Depth 0, Aperture > 0: flat ring       Depth > 0, Aperture > 0: tube
class TKV3DPrism : public TKV3DShape {
 public:
  KV_DECLARE_CLASS()
  static constexpr std::int32_t kMinVertices = 3;
  static constexpr std::int32_t kMaxVertices = 65536;

  explicit TKV3DPrism(TKV3DMesh* mesh);

  float Depth() const { return depth_; }
  float Aperture() const { return aperture_; }
  std::int32_t Vertices() const { return vertices_; }
  // Each returns false, changing nothing, for a value out of range; an equal
  // value is accepted without regenerating.
  bool SetDepth(float value);
  bool SetAperture(float value);
  bool SetVertices(std::int32_t value);

  void Create() override;
  void CreateFaces_PolyForm();
  void CreateFaces_PolyForm2();
  void CreateFaces_PolyFormG();
  void CreateFaces_PolyFormG2();

 private:
  float depth_ = 0.0f;
  float aperture_ = 0.0f;
  std::int32_t vertices_ = 3;
};

// A unit sphere with its poles on the x axis: Edges points on each meridian
// (poles included) and Walls bands around the x axis.
class TKV3DSphere : public TKV3DShape {
 public:
  KV_DECLARE_CLASS()
  static constexpr std::int32_t kMinEdges = 3;
  static constexpr std::int32_t kMaxEdges = 1024;
  static constexpr std::int32_t kMinWalls = 2;
  static constexpr std::int32_t kMaxWalls = 1024;

  explicit TKV3DSphere(TKV3DMesh* mesh);

  std::int32_t Edges() const { return edges_; }
  std::int32_t Walls() const { return walls_; }
  bool SetEdges(std::int32_t value);
  bool SetWalls(std::int32_t value);

  void Create() override;
  void CreateFaces_Sphere();
  // Kept for callers of the older entry point: the same sphere.
  void CreateFaces_Sphere2();

 private:
  std::int32_t edges_ = 15;
  std::int32_t walls_ = 15;
};

// A unit cube centred on the origin, each side a Grid x Grid lattice of
// points forming (Grid - 1)^2 quads, one outward normal per side.
class TKV3DCube : public TKV3DShape {
 public:
  KV_DECLARE_CLASS()
  static constexpr std::int32_t kMinGrid = 3;
  static constexpr std::int32_t kMaxGrid = 512;

  explicit TKV3DCube(TKV3DMesh* mesh);

  std::int32_t Grid() const { return grid_; }
  bool SetGrid(std::int32_t value);

  void Create() override;

 private:
  std::int32_t grid_ = 3;
};

}  // namespace kv
