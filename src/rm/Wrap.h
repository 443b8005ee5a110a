// Wraps: texture coordinates generated from vertex positions (flat,
// cylinder, sphere, sheet, box) or from reflected view rays (chrome).
#pragma once

#include <array>

#include "korvane3d/rm/Frame.h"
#include "korvane3d/rm/Object.h"

namespace kv::rm {

class MeshBuilder;

struct WrapParams {
  D3DRMWRAPTYPE type = D3DRMWRAP_FLAT;
  Vec3 origin{};
  std::array<float, 2> textureOrigin{0, 0};  // (ou, ov)
  std::array<float, 2> textureScale{1, 1};   // (su, sv)
  // The wrap's axes: z along the direction, y the up vector made
  // perpendicular to it, x = y cross z.
  Vec3 axisX{1, 0, 0}, axisY{0, 1, 0}, axisZ{0, 0, 1};
};

class Wrap final : public ObjectImpl<IDirect3DRMWrap> {
 public:
  // Fails with BADVALUE, making nothing, for a zero or parallel direction
  // and up, an unknown type or a value that is not finite.
  static HRESULT Create(WrapParams params, IDirect3DRMFrame3* ref, Vec3 dir, Vec3 up, ComPtr<Wrap>& out);

  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT Clone(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT Apply(IDirect3DRMObject* object) override;
  HRESULT ApplyRelative(IDirect3DRMFrame3* frame, IDirect3DRMObject* object) override;

  const WrapParams& Params() const { return params_; }
  // (u, v) for a point and its unit normal, both in the coordinates the
  // wrap is defined in.
  std::array<float, 2> Map(Vec3 point, Vec3 normal) const;

 private:
  Wrap() = default;
  ~Wrap() override = default;
  const char* ClassName() const override { return "Wrap"; }
  void ApplyTo(MeshBuilder& builder, const Mat4& toWrapSpace) const;

  WrapParams params_;
  FrameLink ref_;
};

}  // namespace kv::rm
