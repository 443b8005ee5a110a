// TKV3DFile: loading a mesh file into the mesh's builder, saving the
// builder's geometry, and telling the encoding from a file's header.
#include "korvane3d/objects/Kv3dfile.h"

#include <array>
#include <filesystem>
#include <vector>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/FileAccess.h"

namespace kv {

const EnumInfo kFileFormatInfo{"TFileFormat", {"ffBinary", "ffCompressed", "ffText"}};

namespace {

// What the written files carry: normals, texture coordinates, materials,
// texture names and texture topology; no templates.
constexpr D3DRMSAVEOPTIONS kSaveOptions = D3DRMXOFSAVE_NORMALS | D3DRMXOFSAVE_TEXTURECOORDINATES |
                                          D3DRMXOFSAVE_MATERIALS | D3DRMXOFSAVE_TEXTURENAMES |
                                          D3DRMXOFSAVE_TEXTURETOPOLOGY;

std::string LoadFailure(HRESULT hr) {
  if (hr == D3DRMERR_FILENOTFOUND) return "it cannot be opened";
  if (hr == D3DRMERR_BADALLOC) return "it is too large";
  if (hr == D3DRMERR_NOTFOUND) return "it holds no mesh";
  return "it is not a valid mesh file";
}

// Textures named inside a mesh file: looked for as named, then beside the
// mesh file (where modelling programs leave them), then beside the form.
struct TextureLookup {
  const TComponent* object;
  std::filesystem::path meshFile;
  std::vector<std::string> problems;
};

HRESULT LoadNamedTexture(char* name, void* arg, IDirect3DRMTexture3** texture) {
  auto& lookup = *static_cast<TextureLookup*>(arg);
  std::string path = LocateFile(name);
  const std::filesystem::path relative(NormalizeFileName(name));
  const std::filesystem::path beside = lookup.meshFile.parent_path() / relative;
  if (path.empty() && relative.is_relative() && FileFound(beside.string())) path = beside.string();
  if (path.empty()) path = LocateDataFile(name, lookup.object);
  const std::string namedBy = " named by " + lookup.meshFile.filename().string();
  if (path.empty()) {
    lookup.problems.push_back(std::string("texture file \"") + name + "\"" + namedBy + " not found");
    return D3DRMERR_FILENOTFOUND;
  }
  IDirect3DRM3* root = SharedD3DRM3();
  if (root == nullptr) return D3DRMERR_BADOBJECT;
  const HRESULT hr = root->LoadTexture(path.c_str(), texture);
  if (FAILED(hr)) lookup.problems.push_back("texture file \"" + path + "\"" + namedBy + " could not be loaded");
  return hr;
}

}  // namespace

const TClassInfo& TKV3DFile::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DFile, TPersistent>("TKV3DFile", [](PropertyBuilder<TKV3DFile>& p) {
    p.String("FileName", &TKV3DFile::FileName, &TKV3DFile::SetFileName);
    // Always written: a new mesh's format is ffText, so ffBinary (the
    // stream default) would otherwise not survive a round trip.
    p.Enum("Format", &TKV3DFile::Format, &TKV3DFile::SetFormat, kFileFormatInfo).Stored(true);
  });
  return info;
}

TKV3DFile::TKV3DFile(TKV3DMesh* mesh) : mesh_(mesh) {}

TPersistent* TKV3DFile::GetOwner() const { return mesh_; }

bool TKV3DFile::Reading() const {
  const TKV3DObject* object = mesh_ != nullptr ? mesh_->Object() : nullptr;
  return object != nullptr && object->ComponentState().Contains(csReading);
}

bool TKV3DFile::SetFormat(TFileFormat value) {
  if (value < ffBinary || value > ffText) return Fail("not a value of TFileFormat");
  format_ = value;
  formatFromForm_ = Reading();
  return true;
}

void TKV3DFile::SetFileName(const std::string& value) {
  fileName_ = value;
  if (mesh_ != nullptr) mesh_->ChangeShape();
}

void TKV3DFile::LoadFromFile(const std::string& name) {
  const std::string given = name;  // `name` may be this object's own field
  std::string path;
  if (mesh_ != nullptr) {
    mesh_->Release();
    mesh_->Create();
    fileName_ = given;
    const TKV3DObject* object = mesh_->Object();
    path = LocateDataFile(given, object);
    IDirect3DRMMeshBuilder3* builder = mesh_->GetIDirect3DMeshBuilder();
    if (path.empty()) {
      if (!given.empty()) reports_.Problem(object, "mesh file \"" + given + "\" not found");
    } else if (builder != nullptr) {
      const HRESULT hr = LoadBuilder(builder, path, object, reports_);
      ReportDXError(hr, nullptr, false);
      if (FAILED(hr)) reports_.Problem(object, LastErrorText());
    }
  }
  const TFileFormat found = GetFileFormat(path);
  if (!(formatFromForm_ && Reading())) format_ = found;
  formatFromForm_ = formatFromForm_ && Reading();
  if (mesh_ != nullptr) mesh_->Change();
}

HRESULT TKV3DFile::LoadBuilder(IDirect3DRMMeshBuilder3* builder, const std::string& path, const TComponent* about,
                               TFileReports& reports) {
  if (builder == nullptr) return D3DRMERR_BADOBJECT;
  TextureLookup lookup{about, std::filesystem::path(path), {}};
  const HRESULT hr =
      builder->Load(const_cast<char*>(path.c_str()), nullptr, D3DRMLOAD_FROMFILE, &LoadNamedTexture, &lookup);
  LastDXResult = hr;
  for (const std::string& problem : lookup.problems) reports.Problem(about, problem);
  if (FAILED(hr)) {
    SetLastErrorText("mesh file \"" + path + "\" could not be loaded: " + LoadFailure(hr));
  } else if (lookup.problems.empty()) {
    reports.Clear();
  }
  return hr;
}

bool TKV3DFile::SaveToFile(const std::string& name) const {
  IDirect3DRMMeshBuilder3* builder = mesh_ != nullptr ? mesh_->GetIDirect3DMeshBuilder() : nullptr;
  if (builder == nullptr) return Fail("the mesh has no geometry to save");
  const HRESULT hr = builder->Save(name.c_str(), static_cast<D3DRMXOFFORMAT>(format_), kSaveOptions);
  if (FAILED(hr)) return Fail("mesh file \"" + name + "\" could not be written");
  return true;
}

TFileFormat TKV3DFile::GetFileFormat(const std::string& name) {
  if (name.empty()) return ffText;
  files::InputFile file;  // a FIFO or device is refused, never waited on
  std::array<std::uint8_t, 12> header{};
  if (!file.Open(name) || !file.ReadAt(0, header)) return ffText;
  // Bytes 8..11 name the encoding: "txt ", "bin ", "tzip" or "bzip".
  if (header[8] == 't' && header[9] == 'x') return ffText;
  if (header[8] == 'b' && header[9] == 'i') return ffBinary;
  if (header[9] == 'z') return ffCompressed;
  return ffText;
}

}  // namespace kv
