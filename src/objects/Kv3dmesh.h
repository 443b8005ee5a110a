// Unit Kv3dobject, geometry: the mesh of a visual object and the vertex
// handle.
//
// TKV3DMesh owns the object's engine mesh builder, hangs it on the object's
// frame and takes it off again, keeps a copy of the builder's geometry
// (vertices, normals, face data) and selects where the geometry comes from:
// a mesh file (File) or one of the generators (Prism, Sphere, Cube), chosen
// by ActiveShape. A mesh without faces keeps no builder.
//
// Face data: 32-bit words made of face records and a final 0. A record is
// the vertex count n of the face (n >= 3) and n pairs (vertex index, normal
// index) in winding order, 2n + 1 words; the indices refer to the vertex and
// normal arrays that travel with the face data.
//
// The copies and the object's bounding box are refreshed by Change only:
// editing a vertex leaves them stale until the next Change.
//
// Every index a caller gives (face, vertex) is checked against the data; an
// index out of range changes nothing and leaves a text in the last error.
//
// Threads: main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "korvane3d/host/Persistent.h"
#include "korvane3d/host/TypeInfo.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv {

class TKV3DObject;
class TKV3DFile;
class TKV3DCube;
class TKV3DPrism;
class TKV3DSphere;
class TKV3DFace;

// Where a mesh's geometry comes from.
enum TMShapeType : int { stFile = 0, stSphere = 1, stPrism = 2, stCube = 3 };
extern const EnumInfo kShapeTypeInfo;

class TKV3DMesh : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  // Makes the file source and the three generators, then the first shape
  // (with the defaults: no file, so no builder).
  explicit TKV3DMesh(TKV3DObject* object);
  // A copy of the source's geometry arrays only: no sources, no published
  // values, no builder. Making it leaves the object (its mesh, builder and
  // visuals) as it was.
  TKV3DMesh(TKV3DObject* object, const TKV3DMesh& source);
  ~TKV3DMesh() override;
  TKV3DMesh(const TKV3DMesh&) = delete;
  TKV3DMesh& operator=(const TKV3DMesh&) = delete;

  // Copies the shape parameters (normals flag, active shape, file name and
  // format, generator parameters) and regenerates from them.
  bool Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override;

  TKV3DObject* Object() const { return object_; }

  // ---- Sources and published settings ------------------------------------------
  TKV3DFile* File() const { return file_.get(); }
  TKV3DCube* Cube() const { return cube_.get(); }
  TKV3DSphere* Sphere() const { return sphere_.get(); }
  TKV3DPrism* Prism() const { return prism_.get(); }
  bool GenerateNormals() const { return generateNormals_; }
  // A new value regenerates the shape and recomputes the normals.
  void SetGenerateNormals(bool value);
  TMShapeType ActiveShape() const { return activeShape_; }
  // A new value regenerates from the chosen source. False (last error set)
  // for a value that is not a shape type.
  bool SetActiveShape(TMShapeType value);
  // Regenerates the geometry from the active source.
  void ChangeShape();

  // ---- The mesh builder ----------------------------------------------------------------
  IDirect3DRMMeshBuilder3* GetIDirect3DMeshBuilder() const { return meshBuilder_.Get(); }
  // Releases the builder, if any, and makes a new empty one.
  void Create();
  // Takes the visuals off the frame, then leaves a new empty builder.
  void Release();
  // After the builder's content changed: re-attach, normals, box, copies,
  // then the object's MeshChanged.
  void Change();
  // Refills the builder from the copies, then Change.
  void SetChange();
  // True hangs the builder and the shadow visual on the object's frame;
  // false takes every mesh-builder and shadow visual off that frame.
  void SetVisible(bool value);
  // Takes the visuals off and puts them back as the object's Visible says.
  void UpdateMeshVisible();
  // The object's colour with its alpha (clamped to 0..1) to the builder.
  void ChangeColor();
  // The builder's bounding box into the object's (the collision box); a
  // zero box without faces. Change does it; the scale after rescaling.
  void CopyBox();

  // ---- Copies of the builder's geometry (as of the last Change) ------------------------
  std::uint32_t VertexCount() const { return static_cast<std::uint32_t>(vertices_.size()); }
  std::uint32_t NormalCount() const { return static_cast<std::uint32_t>(normals_.size()); }
  std::uint32_t FaceDataSize() const { return static_cast<std::uint32_t>(faceData_.size()); }
  std::span<const D3DVECTOR> Vertices() const { return vertices_; }
  std::span<const D3DVECTOR> Normals() const { return normals_; }
  std::span<const std::uint32_t> FaceData() const { return faceData_; }

  // ---- Vertex editing (builder only; no Change) ----------------------------------------
  // False (last error set, nothing written) without a builder or for an
  // index beyond the builder's vertices.
  bool SetVertexXYZ(std::uint32_t index, float x, float y, float z);
  bool SetVertexX(std::uint32_t index, float value);
  bool SetVertexY(std::uint32_t index, float value);
  bool SetVertexZ(std::uint32_t index, float value);
  // (0, 0, 0) without a builder or for an index beyond its vertices.
  D3DVECTOR GetVertexXYZ(std::uint32_t index) const;
  float GetVertexX(std::uint32_t index) const;
  float GetVertexY(std::uint32_t index) const;
  float GetVertexZ(std::uint32_t index) const;

  // ---- Faces -----------------------------------------------------------------------------
  // Adds the face set to the builder's geometry (with its own vertices and
  // normals), then Change. False for a null or malformed face set, or
  // without a builder.
  bool AddFace(const TKV3DFace* face);
  // Replaces the builder's geometry by the face set, then Change. The
  // generators hand their result over this way.
  bool SetFace(const TKV3DFace* face);
  // Removes face record `index` from the copy and refills the builder from
  // the copies (vertices and normals stay). An index beyond the last face
  // removes nothing (false, last error set) but still refills and rebuilds.
  bool DeleteFace(std::uint32_t index);
  // A free-standing face set holding face `index` alone: face data
  // [n, 0, 0, 1, 1, ..., n-1, n-1, 0] over its own n vertices and normals.
  // Returns false when `face` was made; true (face null, last error set)
  // when there is no such face.
  bool GetFace(std::uint32_t index, std::unique_ptr<TKV3DFace>& face) const;
  // The words of the copy from face record `index` to the end (terminator
  // included); empty when there is no such record.
  std::span<const std::uint32_t> SearchFace(std::uint32_t index) const;
  // Extracts the face record at the start of `record` with its own vertices
  // and normals, renumbered (0, 0) ... (n-1, n-1), the face data ending in
  // 0. False, outputs untouched, when the record is truncated, has fewer
  // than 3 vertices or an index outside the source arrays.
  static bool MakeFaceData(std::span<const D3DVECTOR> sourceVertices, std::span<const D3DVECTOR> sourceNormals,
                           std::span<const std::uint32_t> record, std::vector<D3DVECTOR>& vertices,
                           std::vector<D3DVECTOR>& normals, std::vector<std::uint32_t>& faceData);

 private:
  // Takes the builder's geometry into the copies and its box into the object.
  void CopyGeometry();
  // Hangs the builder on the object's frame (when both exist).
  void AttachBuilder();
  // Appends a well-formed face set to the builder.
  bool AddFacesToBuilder(const TKV3DFace& face);
  // False (last error set) without a builder or for an index past its
  // vertices.
  bool CheckVertexIndex(std::uint32_t index) const;
  IDirect3DRMFrame3* ObjectFrame() const;
  void ReplaceBuilder(ComPtr<IDirect3DRMMeshBuilder3> builder);

  std::unique_ptr<TKV3DCube> cube_;
  std::unique_ptr<TKV3DPrism> prism_;
  std::unique_ptr<TKV3DSphere> sphere_;
  std::unique_ptr<TKV3DFile> file_;
  bool generateNormals_ = false;
  TMShapeType activeShape_ = stFile;
  TKV3DObject* object_;  // not owning; the object owns this mesh
  std::vector<D3DVECTOR> vertices_;
  std::vector<D3DVECTOR> normals_;
  std::vector<std::uint32_t> faceData_;
  ComPtr<IDirect3DRMMeshBuilder3> meshBuilder_;
};

// A handle on one vertex of a mesh's builder, with cached coordinates.
// A handle made from a mesh must not outlive that mesh.
class TKV3DVertex : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  // Reads the vertex's coordinates.
  TKV3DVertex(TKV3DMesh* mesh, std::uint32_t index);
  // A free vertex: the setters only store.
  TKV3DVertex(float x, float y, float z);

  TKV3DMesh* Mesh() const { return mesh_; }
  std::uint32_t Index() const { return index_; }
  float X() const { return x_; }
  float Y() const { return y_; }
  float Z() const { return z_; }
  // Read the vertex from the builder into the cache; 0 without a mesh, a
  // builder or a vertex of that index.
  float GetX();
  float GetY();
  float GetZ();
  // Store the coordinate, then Change.
  bool SetX(float value);
  bool SetY(float value);
  bool SetZ(float value);
  // Writes the cached coordinates to the builder's vertex. False (last
  // error set) when the mesh has no builder or no vertex of that index;
  // true for a free vertex.
  bool Change();

 private:
  D3DVECTOR Read() const;

  TKV3DMesh* mesh_ = nullptr;  // not owning
  std::uint32_t index_ = 0;
  float x_ = 0;
  float y_ = 0;
  float z_ = 0;
};

}  // namespace kv
