// Shared set-up for the visual object tests: headless platform, a fresh
// engine root, the package registered, a form owning the components, and
// looks into the engine objects an object drives.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "korvane3d/host/Forms.h"
#include "korvane3d/objects/Kv3dface.h"
#include "korvane3d/objects/Kv3dfile.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/objects/Kv3dshape.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/Backend.h"
#include "support/HeadlessFormTest.h"
#include "korvane3d/rm/D3DRMGuids.h"
#include "korvane3d/rm/MeshBuilder.h"

namespace kvtest {

using namespace kv;

class ObjectTest : public HeadlessFormTest<TKV3DObject> {
 protected:
  TKV3DObject* MakeShape(TMShapeType shape, const char* name = nullptr) {
    TKV3DObject* o = Make(name);
    o->Mesh()->SetActiveShape(shape);
    return o;
  }

 public:
  static IDirect3DRMMeshBuilder3* Builder(TKV3DObject* o) { return o->Mesh()->GetIDirect3DMeshBuilder(); }
  static const kv::rm::MeshGeometry& Geometry(IDirect3DRMMeshBuilder3* b) {
    return kv::rm::MeshBuilder::From(b)->Geometry();
  }

  // How many visuals of the object's frame answer to `iid`; with `only`,
  // whether that visual is among them.
  static int CountVisuals(TKV3DObject* o, const IID& iid, IUnknown* only = nullptr) {
    IDirect3DRMFrame3* frame = o->GetIDirect3DRMFrame3();
    DWORD count = 0;
    frame->GetVisuals(&count, nullptr);
    std::vector<IUnknown*> raw(count, nullptr);
    if (count != 0) frame->GetVisuals(&count, raw.data());
    int n = 0;
    for (IUnknown* v : raw) {
      ComPtr<IUnknown> held = ComPtr<IUnknown>::Adopt(v), q;
      if (SUCCEEDED(held.As(iid, q)) && q && (only == nullptr || v == only)) ++n;
    }
    return n;
  }
  static int MeshVisuals(TKV3DObject* o) { return CountVisuals(o, IID_IDirect3DRMMeshBuilder); }
  static int ShadowVisuals(TKV3DObject* o) { return CountVisuals(o, IID_IDirect3DRMShadow); }

  // Face records of a mesh's copy, each as its words.
  static std::vector<std::vector<std::uint32_t>> Records(const TKV3DMesh& m) {
    std::vector<std::vector<std::uint32_t>> out;
    std::span<const std::uint32_t> d = m.FaceData();
    for (std::size_t pos = 0; pos < d.size() && d[pos] != 0; pos += 2 * d[pos] + 1)
      out.emplace_back(d.begin() + static_cast<std::ptrdiff_t>(pos),
                       d.begin() + static_cast<std::ptrdiff_t>(pos + 2 * d[pos] + 1));
    return out;
  }
};

constexpr float kTol = 1e-4f;

#define EXPECT_VEC(v, ex, ey, ez)           \
  do {                                      \
    const D3DVECTOR vv_ = (v);              \
    EXPECT_NEAR(vv_.x, (ex), kvtest::kTol); \
    EXPECT_NEAR(vv_.y, (ey), kvtest::kTol); \
    EXPECT_NEAR(vv_.z, (ez), kvtest::kTol); \
  } while (0)

}  // namespace kvtest
