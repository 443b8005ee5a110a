// Many positions in one pass agree to the bit with GetPosition frame by
// frame: frames under turned, scaled and moved parents, siblings sharing a
// parent, the world as reference, and frames or references that cannot be
// used.
#include <vector>

#include "RmTesting.h"
#include "korvane3d/rm/FramePositions.h"

namespace kv::rm::testing {
namespace {

TEST(FramePositions, SameAsGetPositionForEachFrame) {
  ComPtr<IDirect3DRM3> root = MakeRoot();
  ComPtr<IDirect3DRMFrame3> scene = MakeFrame(root.Get());
  ASSERT_EQ(scene->SetPosition(nullptr, 3, -2, 7), D3DRM_OK);
  ASSERT_EQ(scene->AddRotation(D3DRMCOMBINE_AFTER, 0, 1, 0, 0.3f), D3DRM_OK);
  ComPtr<IDirect3DRMFrame3> carrier = MakeFrame(root.Get(), scene.Get());
  ASSERT_EQ(carrier->SetPosition(scene.Get(), 10, 1, -4), D3DRM_OK);
  ASSERT_EQ(carrier->AddScale(D3DRMCOMBINE_BEFORE, 2, 0.5f, 1), D3DRM_OK);
  ASSERT_EQ(carrier->AddRotation(D3DRMCOMBINE_BEFORE, 1, 1, 0, 1.1f), D3DRM_OK);
  std::vector<ComPtr<IDirect3DRMFrame3>> owned;
  std::vector<IDirect3DRMFrame3*> frames;
  for (int i = 0; i < 12; ++i) {
    IDirect3DRMFrame3* parent = i % 3 == 0 ? scene.Get() : i % 3 == 1 ? carrier.Get() : nullptr;
    owned.push_back(MakeFrame(root.Get(), parent));
    ASSERT_EQ(owned.back()->SetPosition(parent, 0.1f * i, -0.7f * i, 1.3f + i), D3DRM_OK);
    frames.push_back(owned.back().Get());
  }
  for (IDirect3DRMFrame3* ref : {scene.Get(), carrier.Get(), static_cast<IDirect3DRMFrame3*>(nullptr)}) {
    std::vector<D3DVECTOR> positions(frames.size());
    ASSERT_TRUE(GetPositions(frames, ref, positions));
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const D3DVECTOR expected = Position(frames[i], ref);
      EXPECT_EQ(positions[i].x, expected.x);
      EXPECT_EQ(positions[i].y, expected.y);
      EXPECT_EQ(positions[i].z, expected.z);
    }
  }

  // A missing frame reads as the origin; a reference that cannot be
  // inverted leaves every position at the origin.
  frames[4] = nullptr;
  std::vector<D3DVECTOR> positions(frames.size(), D3DVECTOR{9, 9, 9});
  EXPECT_FALSE(GetPositions(frames, scene.Get(), positions));
  EXPECT_EQ(positions[4].x, 0);
  EXPECT_EQ(positions[5].x, Position(frames[5], scene.Get()).x);
  ComPtr<IDirect3DRMFrame3> flat = MakeFrame(root.Get());
  ASSERT_EQ(flat->AddScale(D3DRMCOMBINE_REPLACE, 1, 0, 1), D3DRM_OK);
  positions.assign(frames.size(), D3DVECTOR{9, 9, 9});
  EXPECT_FALSE(GetPositions(frames, flat.Get(), positions));
  for (const D3DVECTOR& p : positions) EXPECT_EQ(p.x + p.y + p.z, 0);
}

}  // namespace
}  // namespace kv::rm::testing
