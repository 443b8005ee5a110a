// Lights: ambient, point, spot, directional and parallel point. A light
// shines from the frames it is attached to (Frame::AddLight).
#pragma once

#include "korvane3d/rm/Frame.h"
#include "korvane3d/rm/Object.h"

namespace kv::rm {

struct LightParams {
  D3DRMLIGHTTYPE type = D3DRMLIGHT_DIRECTIONAL;
  D3DCOLOR color = 0xffffffff;
  float range = 256.0f;
  float umbra = 0.4f;     // full cone angle of the fully lit core, radians
  float penumbra = 0.5f;  // full cone angle where the light fades to nothing
  float constant = 1.0f;
  float linear = 0.0f;
  float quadratic = 0.0f;
};

class Light final : public ObjectImpl<IDirect3DRMLight> {
 public:
  static ComPtr<Light> Create(D3DRMLIGHTTYPE type, D3DCOLOR color);
  static Light* From(IUnknown* object);
  static bool IsValidType(DWORD type) { return type <= D3DRMLIGHT_PARALLELPOINT; }

  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT Clone(IUnknown* outer, REFIID iid, void** out) override;

  HRESULT SetType(D3DRMLIGHTTYPE type) override;
  D3DRMLIGHTTYPE GetType() override;
  HRESULT SetColor(D3DCOLOR color) override;
  HRESULT SetColorRGB(D3DVALUE r, D3DVALUE g, D3DVALUE b) override;
  D3DCOLOR GetColor() override;
  HRESULT SetRange(D3DVALUE range) override;
  D3DVALUE GetRange() override;
  HRESULT SetUmbra(D3DVALUE angle) override;
  D3DVALUE GetUmbra() override;
  HRESULT SetPenumbra(D3DVALUE angle) override;
  D3DVALUE GetPenumbra() override;
  HRESULT SetConstantAttenuation(D3DVALUE value) override;
  D3DVALUE GetConstantAttenuation() override;
  HRESULT SetLinearAttenuation(D3DVALUE value) override;
  D3DVALUE GetLinearAttenuation() override;
  HRESULT SetQuadraticAttenuation(D3DVALUE value) override;
  D3DVALUE GetQuadraticAttenuation() override;
  HRESULT SetEnableFrame(IDirect3DRMFrame3* frame) override;
  HRESULT GetEnableFrame(IDirect3DRMFrame3** frame) override;

  // For renderers, with the engine lock held.
  const LightParams& Params() const { return params_; }
  Frame* EnableFrame() const { return enableFrame_.Get(); }

 private:
  Light() = default;
  ~Light() override = default;
  const char* ClassName() const override { return "Light"; }
  HRESULT SetValue(float& field, float value);

  LightParams params_;
  FrameLink enableFrame_;
};

}  // namespace kv::rm
