// Shadows: a visual drawing the outline of another visual (a mesh or mesh
// builder) flattened onto a plane, as cast by a light. The caster is placed
// by the frame the shadow hangs on (normally the frame holding the caster);
// the plane is read in the coordinates of the scene being drawn, so that a
// floor stays where it is while the caster turns and moves.
#pragma once

#include <cstdint>
#include <vector>

#include "korvane3d/rm/Light.h"
#include "korvane3d/rm/MeshGeometry.h"
#include "korvane3d/rm/Object.h"

namespace kv::rm {

// The caster's faces flattened onto the plane: each caster vertex a face
// uses projected once (positions, in the order the faces first use them),
// and the faces as triangle fans from their first corner (three indices
// into positions each).
struct ShadowGeometry {
  std::vector<Vec3> positions;
  std::vector<std::uint32_t> triangles;
  std::size_t faceCount = 0;
  std::size_t FaceCount() const { return faceCount; }

  // Kept between projections: each caster vertex projected, whether it
  // could be, and its place in positions.
  std::vector<Vec3> projected;
  std::vector<std::uint8_t> projects;
  std::vector<std::uint32_t> placed;
};

class Shadow final : public ObjectImpl<IDirect3DRMShadow2> {
 public:
  static HRESULT Create(IUnknown* visual, IDirect3DRMLight* light, Vec3 point, Vec3 normal, ComPtr<Shadow>& out);

  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT Clone(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT GetVisual(IDirect3DRMVisual** visual) override;
  HRESULT SetVisual(IUnknown* visual, DWORD flags) override;
  HRESULT GetLight(IDirect3DRMLight** light) override;
  HRESULT SetLight(IDirect3DRMLight* light, DWORD flags) override;
  HRESULT GetPlane(D3DVALUE* px, D3DVALUE* py, D3DVALUE* pz, D3DVALUE* nx, D3DVALUE* ny, D3DVALUE* nz) override;
  HRESULT SetPlane(D3DVALUE px, D3DVALUE py, D3DVALUE pz, D3DVALUE nx, D3DVALUE ny, D3DVALUE nz,
                   DWORD flags) override;
  HRESULT GetOptions(DWORD* options) override;
  HRESULT SetOptions(DWORD options) override;

  // For renderers, with the engine lock held. Project flattens the caster,
  // placed by casterWorld (the world matrix of the frame the shadow hangs
  // on), for the light placed by lightWorld (that of a frame carrying the
  // light) onto the plane; world is the drawn scene's coordinates, and so is
  // the result. False when nothing is cast.
  bool Project(const Mat4& casterWorld, const Mat4& lightWorld, ShadowGeometry& out) const;
  Light* CastingLight() const { return light_.Get(); }
  bool TrueAlpha() const { return (options_ & D3DRMSHADOW_TRUEALPHA) != 0; }

 private:
  Shadow() = default;
  ~Shadow() override = default;
  const char* ClassName() const override { return "Shadow"; }
  const MeshGeometry* CasterGeometry() const;

  ComPtr<IDirect3DRMVisual> caster_;
  ComPtr<Light> light_;
  Vec3 point_{};
  Vec3 normal_{0, 1, 0};
  DWORD options_ = 0;
};

// The projection itself, in the scene's coordinates (casterToScene carries
// the caster there): a point light at lightPosition (point, spot) or
// parallel rays along lightDirection (directional; a parallel point light
// aims from lightPosition at the caster's centre).
bool ProjectOntoPlane(const MeshGeometry& caster, const Mat4& casterToScene, D3DRMLIGHTTYPE type, Vec3 lightPosition,
                      Vec3 lightDirection, Vec3 planePoint, Vec3 planeNormal, ShadowGeometry& out);

}  // namespace kv::rm
