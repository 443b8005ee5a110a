// Helpers shared by the engine tests: a root object and small factories.
#pragma once

#include <gtest/gtest.h>

#include "korvane3d/rm/D3DRM.h"

namespace kv::rm::testing {

inline ComPtr<IDirect3DRM3> MakeRoot() {
  ComPtr<IDirect3DRM> root;
  EXPECT_EQ(Direct3DRMCreate(root.ReleaseAndGetAddressOf()), D3DRM_OK);
  ComPtr<IDirect3DRM3> root3;
  EXPECT_EQ(root.As(IID_IDirect3DRM3, root3), S_OK);
  return root3;
}

inline ComPtr<IDirect3DRMFrame3> MakeFrame(IDirect3DRM3* root, IDirect3DRMFrame3* parent = nullptr) {
  ComPtr<IDirect3DRMFrame3> frame;
  EXPECT_EQ(root->CreateFrame(parent, frame.ReleaseAndGetAddressOf()), D3DRM_OK);
  return frame;
}

inline ComPtr<IDirect3DRMMeshBuilder3> MakeBuilder(IDirect3DRM3* root) {
  ComPtr<IDirect3DRMMeshBuilder3> builder;
  EXPECT_EQ(root->CreateMeshBuilder(builder.ReleaseAndGetAddressOf()), D3DRM_OK);
  return builder;
}

inline D3DVECTOR Position(IDirect3DRMFrame3* frame, IDirect3DRMFrame3* ref) {
  D3DVECTOR v;
  EXPECT_EQ(frame->GetPosition(ref, &v), D3DRM_OK);
  return v;
}

}  // namespace kv::rm::testing

#define EXPECT_VEC_NEAR(v, ex, ey, ez, tol) \
  do {                                      \
    D3DVECTOR v_ = (v);                     \
    EXPECT_NEAR(v_.x, (ex), (tol));         \
    EXPECT_NEAR(v_.y, (ey), (tol));         \
    EXPECT_NEAR(v_.z, (ez), (tol));         \
  } while (0)
