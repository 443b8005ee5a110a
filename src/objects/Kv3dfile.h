// Unit Kv3dobject, mesh files: the file source of a mesh.
//
// When the mesh's ActiveShape is stFile its geometry is loaded from the mesh
// file named by FileName (looked up with LocateDataFile: as named, in the
// current and the program's folder, beside the form). A file, or a texture
// it names, that cannot be had is reported (ReportFileProblem). SaveToFile writes the
// mesh's current geometry in the encoding Format names; every load sets
// Format to the encoding found in the file's header.
//
// Threads: main thread.
#pragma once

#include <string>

#include "korvane3d/host/Persistent.h"
#include "korvane3d/host/TypeInfo.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv {

class TKV3DMesh;

// The three mesh file encodings; the values are the engine's save formats.
enum TFileFormat : int { ffBinary = 0, ffCompressed = 1, ffText = 2 };
extern const EnumInfo kFileFormatInfo;

class TKV3DFile : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  // A file without a mesh only stores its values.
  explicit TKV3DFile(TKV3DMesh* mesh);

  TPersistent* GetOwner() const override;
  TKV3DMesh* Mesh() const { return mesh_; }

  // The name as given (not the located path).
  const std::string& FileName() const { return fileName_; }
  // Stores the name and regenerates the mesh, also when the name is the
  // same (which reloads the file).
  void SetFileName(const std::string& value);
  TFileFormat Format() const { return format_; }
  // No side effect: the encoding the next SaveToFile uses. A value read
  // from a form stays while the rest of the form is read, although later
  // mesh properties reload the file (each load otherwise sets the format
  // found in the file).
  bool SetFormat(TFileFormat value);

  // Gives the mesh a new builder and loads the file into it, then rebuilds
  // the mesh. A name that is found nowhere leaves the mesh without faces
  // and a text in the last error; so does a file that cannot be read.
  void LoadFromFile(const std::string& name);
  // Loads the mesh file at `path` (already located) into `builder`, with
  // the textures it names looked for as named, beside the mesh file and
  // beside the form of `about`; a texture that cannot be had is reported
  // through `reports`, naming `about`. The builder keeps the file's own
  // materials and textures (an object's mesh then puts the object's
  // appearance over them). Returns the engine's result; on a failure the
  // reason is in LastErrorText(), not reported.
  static HRESULT LoadBuilder(IDirect3DRMMeshBuilder3* builder, const std::string& path, const TComponent* about,
                             TFileReports& reports);
  // Writes the mesh's geometry (normals, texture coordinates, materials,
  // texture names and topology, no templates) to `name` as given, in
  // Format. False (last error set) without a builder or when writing fails.
  bool SaveToFile(const std::string& name) const;
  // The encoding named by a mesh file's header; ffText for an empty name, a
  // file that cannot be read or one shorter than 12 bytes.
  static TFileFormat GetFileFormat(const std::string& name);

 private:
  // Whether the owning object is being read from a form.
  bool Reading() const;

  std::string fileName_;
  TFileReports reports_;
  TFileFormat format_ = ffBinary;
  bool formatFromForm_ = false;
  TKV3DMesh* mesh_;  // not owning; the mesh owns this file source
};

}  // namespace kv
