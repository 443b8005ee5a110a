// Shared set-up for the visual object tests: headless platform, a fresh
// engine root, the package registered, a form owning the components, and
// helpers that look into the engine objects an object drives.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "host/Forms.h"
#include "objects/Kv3dface.h"
#include "objects/Kv3dfile.h"
#include "objects/Kv3dmesh.h"
#include "objects/Kv3dobject.h"
#include "objects/Kv3dshape.h"
#include "package/Kv.h"
#include "platform/win/Backend.h"
#include "rm/D3DRMGuids.h"
#include "rm/MeshBuilder.h"

namespace kvtest {

using namespace kv;

class ObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    ResetSharedRuntime();
    Register();
    form = std::make_unique<TForm>(nullptr);
  }
  void TearDown() override {
    form.reset();
    ResetSharedRuntime();
  }

  template <class T = TKV3DObject>
  T* Make(const char* name = nullptr) {
    auto* c = new T(form.get());  // owned by the form
    if (name != nullptr) c->SetName(name);
    return c;
  }

  // An object showing the default prism (a triangle) or another shape.
  TKV3DObject* MakeShape(TMShapeType shape = stPrism, const char* name = nullptr) {
    TKV3DObject* o = Make(name);
    o->Mesh()->SetActiveShape(shape);
    return o;
  }

  std::unique_ptr<TForm> form;

 public:
  static IDirect3DRMMeshBuilder3* Builder(TKV3DObject* o) { return o->Mesh()->GetIDirect3DMeshBuilder(); }

  // The engine-side geometry of a builder (colour per face and the like).
  static const kv::rm::MeshGeometry& Geometry(IDirect3DRMMeshBuilder3* b) {
    return kv::rm::MeshBuilder::From(b)->Geometry();
  }

  // The visuals hanging on a frame, with references held.
  static std::vector<ComPtr<IUnknown>> Visuals(IDirect3DRMFrame3* frame) {
    DWORD count = 0;
    frame->GetVisuals(&count, nullptr);
    std::vector<IUnknown*> raw(count, nullptr);
    if (count != 0) frame->GetVisuals(&count, raw.data());
    std::vector<ComPtr<IUnknown>> held;
    for (IUnknown* v : raw) held.push_back(ComPtr<IUnknown>::Adopt(v));
    return held;
  }
  // How many of a frame's visuals answer to `iid`.
  static int CountVisuals(IDirect3DRMFrame3* frame, const IID& iid) {
    int n = 0;
    for (const ComPtr<IUnknown>& v : Visuals(frame)) {
      ComPtr<IUnknown> q;
      if (SUCCEEDED(v.As(iid, q)) && q) ++n;
    }
    return n;
  }
  static int MeshVisuals(TKV3DObject* o) { return CountVisuals(o->GetIDirect3DRMFrame3(), IID_IDirect3DRMMeshBuilder); }
  static int ShadowVisuals(TKV3DObject* o) { return CountVisuals(o->GetIDirect3DRMFrame3(), IID_IDirect3DRMShadow); }
  static bool HasVisual(TKV3DObject* o, IUnknown* visual) {
    for (const ComPtr<IUnknown>& v : Visuals(o->GetIDirect3DRMFrame3()))
      if (v.Get() == visual) return true;
    return false;
  }

  // Face records of a mesh's copy, as vectors of words.
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
