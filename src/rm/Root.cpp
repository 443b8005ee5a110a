#include "korvane3d/rm/Root.h"

#include <cmath>

#include "korvane3d/rm/Frame.h"
#include "korvane3d/rm/Light.h"
#include "korvane3d/rm/Material.h"
#include "korvane3d/rm/MeshBuilder.h"
#include "korvane3d/rm/Shadow.h"
#include "korvane3d/rm/Texture.h"
#include "korvane3d/rm/Wrap.h"

namespace kv {

using kv::ComPtr;

HRESULT Direct3DRMCreate(IDirect3DRM** root) {
  if (!root) return D3DRMERR_BADVALUE;
  *root = kv::rm::Root::Create().Detach();
  return D3DRM_OK;
}

namespace rm {

ComPtr<Root> Root::Create() { return ComPtr<Root>::Adopt(new Root); }

ULONG Root::Release() {
  EngineLock lock;
  return ReleaseImpl();
}

HRESULT Root::QueryInterface(REFIID iid, void** out) {
  return AnswerQuery(iid, out, {IID_IDirect3DRM, IID_IDirect3DRM2, IID_IDirect3DRM3}, static_cast<IDirect3DRM3*>(this));
}

HRESULT Root::CreateFrame(IDirect3DRMFrame3* parent, IDirect3DRMFrame3** frame) {
  if (!frame) return D3DRMERR_BADVALUE;
  *frame = nullptr;
  if (parent && !Frame::From(parent)) return D3DRMERR_BADOBJECT;
  auto created = Frame::Create();
  if (parent) {
    HRESULT hr = parent->AddChild(created.Get());
    if (FAILED(hr)) return hr;
  }
  *frame = created.Detach();
  return D3DRM_OK;
}

HRESULT Root::CreateMeshBuilder(IDirect3DRMMeshBuilder3** builder) {
  if (!builder) return D3DRMERR_BADVALUE;
  *builder = MeshBuilder::Create().Detach();
  return D3DRM_OK;
}

HRESULT Root::CreateLight(D3DRMLIGHTTYPE type, D3DCOLOR color, IDirect3DRMLight** light) {
  if (!light) return D3DRMERR_BADVALUE;
  *light = nullptr;
  if (!Light::IsValidType(type)) return D3DRMERR_BADVALUE;
  *light = Light::Create(type, color).Detach();
  return D3DRM_OK;
}

HRESULT Root::CreateLightRGB(D3DRMLIGHTTYPE type, D3DVALUE r, D3DVALUE g, D3DVALUE b, IDirect3DRMLight** light) {
  return CreateLight(type, ColorFromRGB(r, g, b), light);
}

HRESULT Root::CreateMaterial(D3DVALUE power, IDirect3DRMMaterial2** material) {
  if (!material) return D3DRMERR_BADVALUE;
  *material = nullptr;
  if (!std::isfinite(power)) return D3DRMERR_BADVALUE;
  *material = Material::Create(power).Detach();
  return D3DRM_OK;
}

HRESULT Root::LoadTexture(LPCSTR fileName, IDirect3DRMTexture3** texture) {
  if (!texture) return D3DRMERR_BADVALUE;
  *texture = nullptr;
  if (!fileName) return D3DRMERR_BADVALUE;
  ComPtr<Texture> loaded;
  HRESULT hr = Texture::Load(fileName, loaded);
  if (FAILED(hr)) return hr;
  *texture = loaded.Detach();
  return D3DRM_OK;
}

HRESULT Root::CreateTextureFromImage(const kv::image::Image& image, IDirect3DRMTexture3** texture) {
  if (!texture) return D3DRMERR_BADVALUE;
  *texture = nullptr;
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
    return D3DRMERR_BADVALUE;
  *texture = Texture::FromImage(image).Detach();
  return D3DRM_OK;
}

HRESULT Root::CreateWrap(D3DRMWRAPTYPE type, IDirect3DRMFrame3* ref, D3DVALUE ox, D3DVALUE oy, D3DVALUE oz,
                         D3DVALUE dx, D3DVALUE dy, D3DVALUE dz, D3DVALUE ux, D3DVALUE uy, D3DVALUE uz, D3DVALUE ou,
                         D3DVALUE ov, D3DVALUE su, D3DVALUE sv, IDirect3DRMWrap** wrap) {
  if (!wrap) return D3DRMERR_BADVALUE;
  *wrap = nullptr;
  WrapParams params;
  params.type = type;
  params.origin = {ox, oy, oz};
  params.textureOrigin = {ou, ov};
  params.textureScale = {su, sv};
  ComPtr<Wrap> created;
  HRESULT hr = Wrap::Create(params, ref, {dx, dy, dz}, {ux, uy, uz}, created);
  if (FAILED(hr)) return hr;
  *wrap = created.Detach();
  return D3DRM_OK;
}

HRESULT Root::CreateShadow(IUnknown* visual, IDirect3DRMLight* light, D3DVALUE px, D3DVALUE py, D3DVALUE pz,
                           D3DVALUE nx, D3DVALUE ny, D3DVALUE nz, IDirect3DRMShadow2** shadow) {
  if (!shadow) return D3DRMERR_BADVALUE;
  *shadow = nullptr;
  ComPtr<Shadow> created;
  HRESULT hr = Shadow::Create(visual, light, {px, py, pz}, {nx, ny, nz}, created);
  if (FAILED(hr)) return hr;
  *shadow = created.Detach();
  return D3DRM_OK;
}

HRESULT Root::SetOptions(DWORD options) {
  if (options != D3DRMOPTIONS_LEFTHANDED && options != D3DRMOPTIONS_RIGHTHANDED) return D3DRMERR_BADVALUE;
  EngineLock lock;
  options_ = options;
  return D3DRM_OK;
}

HRESULT Root::GetOptions(DWORD* options) {
  if (!options) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *options = options_;
  return D3DRM_OK;
}

}  // namespace rm

}  // namespace kv
