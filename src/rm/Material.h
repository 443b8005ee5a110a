// Materials: emissive, specular and ambient colours and the specular power.
#pragma once

#include "korvane3d/rm/Math.h"
#include "korvane3d/rm/Object.h"

namespace kv::rm {

struct MaterialParams {
  float power = 0;
  Vec3 specular{1, 1, 1};
  Vec3 emissive{0, 0, 0};
  Vec3 ambient{0, 0, 0};
};

class Material final : public ObjectImpl<IDirect3DRMMaterial2> {
 public:
  static ComPtr<Material> Create(float power);
  static Material* From(IUnknown* object);

  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT Clone(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT SetPower(D3DVALUE power) override;
  D3DVALUE GetPower() override;
  HRESULT SetSpecular(D3DVALUE r, D3DVALUE g, D3DVALUE b) override;
  HRESULT GetSpecular(D3DVALUE* r, D3DVALUE* g, D3DVALUE* b) override;
  HRESULT SetEmissive(D3DVALUE r, D3DVALUE g, D3DVALUE b) override;
  HRESULT GetEmissive(D3DVALUE* r, D3DVALUE* g, D3DVALUE* b) override;
  HRESULT SetAmbient(D3DVALUE r, D3DVALUE g, D3DVALUE b) override;
  HRESULT GetAmbient(D3DVALUE* r, D3DVALUE* g, D3DVALUE* b) override;

  // For renderers, with the engine lock held.
  const MaterialParams& Params() const { return params_; }

 private:
  Material() = default;
  ~Material() override = default;
  const char* ClassName() const override { return "Material"; }
  HRESULT SetColor(Vec3& field, float r, float g, float b);
  HRESULT GetColor(const Vec3& field, float* r, float* g, float* b);

  MaterialParams params_;
};

}  // namespace kv::rm
