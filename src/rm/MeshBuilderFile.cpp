// Mesh builder Load and Save through the DirectX mesh-file module.
#include <filesystem>
#include <map>
#include <span>

#include "korvane3d/rm/Material.h"
#include "korvane3d/rm/MeshBuilder.h"
#include "korvane3d/rm/Texture.h"
#include "korvane3d/rm/xfile/XFile.h"

namespace kv::rm {
namespace {

HRESULT FromStatus(kv::xfile::Status status) {
  switch (status) {
    case kv::xfile::Status::Ok: return D3DRM_OK;
    case kv::xfile::Status::FileNotFound: return D3DRMERR_FILENOTFOUND;
    case kv::xfile::Status::NotFound: return D3DRMERR_NOTFOUND;
    case kv::xfile::Status::TooLarge: return D3DRMERR_BADALLOC;
    default: return D3DRMERR_BADFILE;
  }
}

// The texture a material names: through the caller's callback when there is
// one, else from the file as named, else beside the mesh file. A texture
// that cannot be had leaves the faces untextured; it does not fail the load.
ComPtr<IDirect3DRMTexture3> LoadMaterialTexture(const std::string& name, const std::filesystem::path& folder,
                                                D3DRMLOADTEXTURE3CALLBACK cb, void* arg) {
  if (name.empty()) return nullptr;
  if (cb) {
    std::string writable = name;
    IDirect3DRMTexture3* texture = nullptr;
    if (SUCCEEDED(cb(writable.data(), arg, &texture)) && texture) return ComPtr<IDirect3DRMTexture3>::Adopt(texture);
    return nullptr;
  }
  ComPtr<Texture> texture;
  HRESULT hr = Texture::Load(name, texture);
  if (hr == D3DRMERR_FILENOTFOUND && !folder.empty() && std::filesystem::path(name).is_relative())
    hr = Texture::Load((folder / name).string(), texture);
  return SUCCEEDED(hr) ? ComPtr<IDirect3DRMTexture3>(texture.Get()) : nullptr;
}

bool IndicesValid(const kv::xfile::MeshData& d) {
  std::size_t corners = 0;
  for (std::uint32_t n : d.faceSizes) corners += n;
  if (corners != d.faceVertices.size()) return false;
  if (!d.faceNormals.empty() && d.faceNormals.size() != corners) return false;
  for (std::uint32_t v : d.faceVertices)
    if (v >= d.positions.size()) return false;
  for (std::uint32_t n : d.faceNormals)
    if (n >= d.normals.size()) return false;
  for (std::uint32_t m : d.faceMaterials)
    if (m >= d.materials.size()) return false;
  return true;
}

void SetFaces(const kv::xfile::MeshData& d, MeshGeometry& g) {
  g.positions.resize(d.positions.size());
  for (std::size_t i = 0; i < d.positions.size(); ++i) g.positions[i] = {d.positions[i][0], d.positions[i][1], d.positions[i][2]};
  std::uint32_t corner = 0;
  for (std::uint32_t n : d.faceSizes) g.faceStart.push_back(corner += n);
  g.cornerVertex.assign(d.faceVertices.begin(), d.faceVertices.end());
  if (!d.normals.empty() && d.faceNormals.size() == d.faceVertices.size()) {
    g.normals.resize(d.normals.size());
    for (std::size_t i = 0; i < d.normals.size(); ++i) g.normals[i] = {d.normals[i][0], d.normals[i][1], d.normals[i][2]};
    g.cornerNormal.assign(d.faceNormals.begin(), d.faceNormals.end());
  } else {
    g.cornerNormal = g.cornerVertex;
    GenerateVertexNormals(g, false, 0);
  }
  g.uvs.assign(d.positions.size(), {0.0f, 0.0f});
  if (d.texCoords.size() == d.positions.size())
    for (std::size_t i = 0; i < d.texCoords.size(); ++i) g.uvs[i] = {d.texCoords[i][0], d.texCoords[i][1]};
  if (d.vertexColors.size() == d.positions.size()) g.vertexColors.assign(d.vertexColors.begin(), d.vertexColors.end());
  std::size_t faces = g.FaceCount();
  g.faceColor.assign(faces, 0xffffffff);
  g.faceGroup.assign(faces, 0);
  g.faceWrap.assign(faces, 0);
  if (d.faceWraps.size() == faces)
    for (std::size_t f = 0; f < faces; ++f)
      g.faceWrap[f] = static_cast<std::uint8_t>((d.faceWraps[f][0] ? D3DRMMAP_WRAPU : 0) |
                                                (d.faceWraps[f][1] ? D3DRMMAP_WRAPV : 0));
}

void SetMaterials(const kv::xfile::MeshData& d, const std::filesystem::path& folder, D3DRMLOADTEXTURE3CALLBACK cb,
                  void* arg, MeshGeometry& g) {
  std::vector<std::uint32_t> groupOf(d.materials.size());
  std::vector<D3DCOLOR> colorOf(d.materials.size());
  for (std::size_t m = 0; m < d.materials.size(); ++m) {
    const kv::xfile::Material& xm = d.materials[m];
    auto material = Material::Create(xm.power);
    material->SetSpecular(xm.specular[0], xm.specular[1], xm.specular[2]);
    material->SetEmissive(xm.emissive[0], xm.emissive[1], xm.emissive[2]);
    ComPtr<IDirect3DRMTexture3> texture = LoadMaterialTexture(xm.textureFile, folder, cb, arg);
    groupOf[m] = g.GroupFor(material.Get(), texture.Get());
    colorOf[m] = ColorFromRGB(xm.faceColor[0], xm.faceColor[1], xm.faceColor[2], xm.faceColor[3]);
  }
  if (d.materials.empty()) return;
  for (std::size_t f = 0; f < g.FaceCount(); ++f) {
    // Faces the material list does not reach take its last entry.
    std::size_t m = d.faceMaterials.empty() ? 0
                    : f < d.faceMaterials.size() ? d.faceMaterials[f]
                                                 : d.faceMaterials.back();
    g.faceGroup[f] = groupOf[m];
    g.faceColor[f] = colorOf[m];
  }
}

kv::xfile::Encoding EncodingFor(D3DRMXOFFORMAT format) {
  switch (format) {
    case D3DRMXOF_BINARY: return kv::xfile::Encoding::Binary;
    case D3DRMXOF_COMPRESSED: return kv::xfile::Encoding::CompressedBinary;
    default: return kv::xfile::Encoding::Text;
  }
}

}  // namespace

HRESULT MeshBuilder::Load(void* source, void*, D3DRMLOADOPTIONS options, D3DRMLOADTEXTURE3CALLBACK cb, void* arg) {
  if (!source) return D3DRMERR_BADVALUE;
  kv::xfile::MeshData data;
  kv::xfile::Result result;
  std::filesystem::path folder;
  const DWORD from = options & 0x0f;
  if (from == D3DRMLOAD_FROMFILE) {
    const char* path = static_cast<const char*>(source);
    result = kv::xfile::LoadFile(path, data);
    folder = std::filesystem::path(path).parent_path();
  } else if (from == D3DRMLOAD_FROMMEMORY) {
    auto* memory = static_cast<const D3DRMLOADMEMORY*>(source);
    if (!memory->lpMemory) return D3DRMERR_BADVALUE;
    result = kv::xfile::Parse({static_cast<const std::uint8_t*>(memory->lpMemory), memory->dSize}, data);
  } else {
    return D3DRMERR_BADVALUE;  // resources, streams and URLs do not exist here
  }
  if (!result) return FromStatus(result.status);
  if (!IndicesValid(data)) return D3DRMERR_BADFILE;

  MeshGeometry geometry;
  SetFaces(data, geometry);
  SetMaterials(data, folder, cb, arg, geometry);
  EngineLock lock;
  geometry_ = std::move(geometry);
  texture_ = geometry_.groups.size() > 1 ? geometry_.groups[1].texture : nullptr;
  material_ = geometry_.groups.size() > 1 ? geometry_.groups[1].material : nullptr;
  Changed();
  SetName(data.name.c_str());
  return D3DRM_OK;
}

HRESULT MeshBuilder::Save(LPCSTR fileName, D3DRMXOFFORMAT format, D3DRMSAVEOPTIONS options) {
  if (!fileName || format > D3DRMXOF_TEXT) return D3DRMERR_BADVALUE;
  kv::xfile::MeshData d;
  kv::xfile::SaveOptions save;
  save.encoding = EncodingFor(format);
  save.normals = options & D3DRMXOFSAVE_NORMALS;
  save.textureCoordinates = options & D3DRMXOFSAVE_TEXTURECOORDINATES;
  save.materials = options & D3DRMXOFSAVE_MATERIALS;
  save.textureNames = options & D3DRMXOFSAVE_TEXTURENAMES;
  save.templates = options & D3DRMXOFSAVE_TEMPLATES;
  save.textureTopology = options & D3DRMXOFSAVE_TEXTURETOPOLOGY;
  {
    EngineLock lock;
    const MeshGeometry& g = geometry_;
    d.name = Name();
    for (const Vec3& p : g.positions) d.positions.push_back({p.x, p.y, p.z});
    for (const Vec3& n : g.normals) d.normals.push_back({n.x, n.y, n.z});
    for (std::size_t f = 0; f < g.FaceCount(); ++f) d.faceSizes.push_back(g.FaceSize(f));
    d.faceVertices = g.cornerVertex;
    d.faceNormals = g.cornerNormal;
    for (const auto& uv : g.uvs) d.texCoords.push_back({uv[0], uv[1]});
    d.vertexColors = g.vertexColors;
    for (std::uint8_t w : g.faceWrap) d.faceWraps.push_back({(w & D3DRMMAP_WRAPU) != 0, (w & D3DRMMAP_WRAPV) != 0});
    // One file material per (material, texture, face colour) in use.
    std::map<std::pair<std::uint32_t, D3DCOLOR>, std::uint32_t> index;
    for (std::size_t f = 0; f < g.FaceCount(); ++f) {
      auto key = std::make_pair(g.faceGroup[f], g.faceColor[f]);
      auto [it, added] = index.emplace(key, static_cast<std::uint32_t>(d.materials.size()));
      if (added) {
        kv::xfile::Material xm;
        D3DCOLOR c = g.faceColor[f];
        xm.faceColor = {ColorChannel(c, 16), ColorChannel(c, 8), ColorChannel(c, 0), ColorChannel(c, 24)};
        const FaceGroup& group = g.groups[g.faceGroup[f]];
        if (Material* m = Material::From(group.material.Get())) {
          xm.power = m->Params().power;
          xm.specular = {m->Params().specular.x, m->Params().specular.y, m->Params().specular.z};
          xm.emissive = {m->Params().emissive.x, m->Params().emissive.y, m->Params().emissive.z};
        }
        if (Texture* t = Texture::From(group.texture.Get())) xm.textureFile = t->FileName();
        d.materials.push_back(std::move(xm));
      }
      d.faceMaterials.push_back(it->second);
    }
  }
  return FromStatus(kv::xfile::SaveFile(fileName, d, save).status);
}

}  // namespace kv::rm
