// Shared set-up for the frame tests: headless platform, a fresh engine root,
// the package registered, and a form that owns the components.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <memory>

#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/Backend.h"
#include "support/HeadlessFormTest.h"

namespace kvtest {

using namespace kv;

class FrameTest : public HeadlessFormTest<TKV3DFrame> {
 protected:
  static D3DVECTOR World(TKV3DCustomFrame* f) {
    D3DVECTOR v{};
    f->GetIDirect3DRMFrame3()->GetPosition(SharedRootFrame(), &v);
    return v;
  }
  static D3DVECTOR Dir(TKV3DCustomFrame* f) {
    TKV3DOrientation* o = f->Orientation();
    return {o->GetDirX(), o->GetDirY(), o->GetDirZ()};
  }
  static D3DVECTOR Up(TKV3DCustomFrame* f) {
    TKV3DOrientation* o = f->Orientation();
    return {o->GetUpX(), o->GetUpY(), o->GetUpZ()};
  }
  static IDirect3DRMFrame3* EngineParent(TKV3DCustomFrame* f) {
    ComPtr<IDirect3DRMFrame3> p;
    f->GetIDirect3DRMFrame3()->GetParent(p.ReleaseAndGetAddressOf());
    return p.Get();  // kept alive by the tree
  }
  static DWORD ChildCount(IDirect3DRMFrame3* frame) {
    ComPtr<IDirect3DRMFrameArray> children;
    frame->GetChildren(children.ReleaseAndGetAddressOf());
    return children ? children->GetSize() : 0;
  }
};

constexpr float kTol = 1e-4f;

#define EXPECT_VEC(v, ex, ey, ez)          \
  do {                                     \
    const D3DVECTOR vv_ = (v);             \
    EXPECT_NEAR(vv_.x, (ex), kvtest::kTol); \
    EXPECT_NEAR(vv_.y, (ey), kvtest::kTol); \
    EXPECT_NEAR(vv_.z, (ez), kvtest::kTol); \
  } while (0)

}  // namespace kvtest
