// Picking through a viewport: nearest first, frames from the scene root
// down, nothing in empty space, pick-disabled frames ignored.
#include <chrono>

#include "DeviceTesting.h"

namespace kvtest {
namespace {

constexpr LONG kMid = RenderTest::kSize / 2;

using Picking = RenderTest;

ComPtr<IDirect3DRMPickedArray> PickAt(IDirect3DRMViewport2* v, LONG x, LONG y) {
  ComPtr<IDirect3DRMPickedArray> picked;
  EXPECT_EQ(v->Pick(x, y, picked.ReleaseAndGetAddressOf()), D3DRM_OK);
  return picked;
}

std::vector<IDirect3DRMFrame3*> FramesOf(IDirect3DRMPickedArray* picked, DWORD i) {
  ComPtr<IDirect3DRMFrameArray> frames;
  EXPECT_EQ(picked->GetPick(i, nullptr, frames.ReleaseAndGetAddressOf(), nullptr), D3DRM_OK);
  std::vector<IDirect3DRMFrame3*> out;
  for (DWORD k = 0; frames && k < frames->GetSize(); ++k) {
    ComPtr<IDirect3DRMFrame3> f;
    EXPECT_EQ(frames->GetElement(k, f.ReleaseAndGetAddressOf()), D3DRM_OK);
    out.push_back(f.Get());
  }
  return out;
}

TEST_F(Picking, NearestFirstWithTheFramesRootDown) {
  ComPtr<IDirect3DRMFrame3> far = PlaceCube(scene.Get(), 0, 0, 20, 1);
  ComPtr<IDirect3DRMFrame3> parent = NewFrame(scene.Get());
  ASSERT_EQ(parent->SetPosition(scene.Get(), 0, 0, 4), D3DRM_OK);
  ComPtr<IDirect3DRMFrame3> near = PlaceCube(parent.Get(), 0, 0, 2, 1);  // world z 6
  ComPtr<IDirect3DRMPickedArray> picked = PickAt(viewport.Get(), kMid, kMid);
  ASSERT_EQ(picked->GetSize(), 2u);
  EXPECT_EQ(FramesOf(picked.Get(), 0), (std::vector<IDirect3DRMFrame3*>{scene.Get(), parent.Get(), near.Get()}));
  EXPECT_EQ(FramesOf(picked.Get(), 1), (std::vector<IDirect3DRMFrame3*>{scene.Get(), far.Get()}));
  ComPtr<IDirect3DRMVisual> visual;
  D3DRMPICKDESC desc;
  ASSERT_EQ(picked->GetPick(0, visual.ReleaseAndGetAddressOf(), nullptr, &desc), D3DRM_OK);
  ComPtr<IDirect3DRMVisualArray> nearVisuals;
  ASSERT_EQ(near->GetVisualArray(nearVisuals.ReleaseAndGetAddressOf()), D3DRM_OK);
  ComPtr<IDirect3DRMVisual> expected;
  ASSERT_EQ(nearVisuals->GetElement(0, expected.ReleaseAndGetAddressOf()), D3DRM_OK);
  EXPECT_EQ(visual.Get(), expected.Get());
  EXPECT_EQ(desc.ulFaceIdx, 0u);  // the face towards the camera
  EXPECT_NEAR(desc.vPosition.z, 5, 1e-3);
  EXPECT_EQ(picked->GetPick(2, nullptr, nullptr, nullptr), D3DRMERR_BADVALUE);

  // Off to the side only the far cube's outline is under the pointer
  // (moved to x 3 it covers pixels 121..142; the near one ends at 140).
  ASSERT_EQ(far->SetPosition(scene.Get(), 3, 0, 20), D3DRM_OK);
  picked = PickAt(viewport.Get(), 141, kMid);
  ASSERT_EQ(picked->GetSize(), 1u);
  EXPECT_EQ(FramesOf(picked.Get(), 0).back(), far.Get());
}

TEST_F(Picking, EmptySpaceDisabledFramesAndOutsideTheViewport) {
  ComPtr<IDirect3DRMFrame3> cube = PlaceCube(scene.Get(), 0, 0, 5, 1);
  EXPECT_EQ(PickAt(viewport.Get(), 2, 2)->GetSize(), 0u);
  EXPECT_EQ(PickAt(viewport.Get(), -5, kMid)->GetSize(), 0u);
  EXPECT_EQ(PickAt(viewport.Get(), kMid, 5000)->GetSize(), 0u);
  ASSERT_EQ(cube->SetTraversalOptions(D3DRMFRAME_RENDERENABLE), D3DRM_OK);
  EXPECT_EQ(PickAt(viewport.Get(), kMid, kMid)->GetSize(), 0u);
  // Beyond the back plane nothing is picked.
  ASSERT_EQ(cube->SetTraversalOptions(D3DRMFRAME_RENDERENABLE | D3DRMFRAME_PICKENABLE), D3DRM_OK);
  ASSERT_EQ(cube->SetPosition(scene.Get(), 0, 0, 150), D3DRM_OK);
  EXPECT_EQ(PickAt(viewport.Get(), kMid, kMid)->GetSize(), 0u);
  EXPECT_EQ(viewport->Pick(kMid, kMid, nullptr), D3DRMERR_BADVALUE);
}

}  // namespace
}  // namespace kvtest
