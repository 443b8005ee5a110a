// Shared set-up for the scene and light tests: the headless platform and a
// fresh engine root for every test.
#pragma once

#include <gtest/gtest.h>

#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/rm/D3DRM.h"

namespace kvtest {

using namespace kv;

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    kv::ResetSharedRuntime();
  }
  void TearDown() override { kv::ResetSharedRuntime(); }
};

// The engine frame `frame` hangs under, or null.
inline kv::ComPtr<IDirect3DRMFrame3> EngineParent(IDirect3DRMFrame3* frame) {
  kv::ComPtr<IDirect3DRMFrame3> parent;
  if (frame != nullptr) frame->GetParent(parent.ReleaseAndGetAddressOf());
  return parent;
}

}  // namespace kvtest
