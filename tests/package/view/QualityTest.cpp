// The view's rendering settings: device quality, clipping plane and field of
// view, projection, handedness, render mode and back faces, with what the
// device and viewport report back.
#include "ViewFixture.h"
#include "korvane3d/rm/Device.h"

using namespace kv;

namespace kvtest {
namespace {

DWORD CullMode(TKV3DView* view) {
  return kv::rm::Device::From(view->GetIDirect3DRMDevice3())->Settings().cullMode;
}

class QualityTest : public ViewTest {
 protected:
  TKV3DView* MakeShowingView() {
    TKV3DView* view = MakeView();
    MakeScene();
    view->SetScene(scene);
    view->SetCamera(camera);
    return view;
  }
};

TEST_F(QualityTest, NewViewSettingsReachTheDevice) {
  TKV3DView* view = MakeShowingView();
  TKV3DViewQuality* q = view->Quality();
  EXPECT_EQ(q->RenderQuality(), 0x89u);
  EXPECT_EQ(q->GetTextureQuality(), tqNearest);
  EXPECT_FALSE(q->GetDither());
  const TKV3DPlane* plane = view->Plane();
  EXPECT_EQ(plane->Back(), 5000.0f);
  EXPECT_EQ(plane->Front(), 1.0f);
  EXPECT_EQ(plane->Field(), 0.5f);
  EXPECT_EQ(plane->Left() + plane->Right() + plane->Top() + plane->Bottom(), 0.0f);
  EXPECT_EQ(view->GetProjectionType(), ptPerspective);
  EXPECT_EQ(view->GetProjectionHand(), phLeftHand);
  EXPECT_TRUE(view->UniformScaling());
  EXPECT_TRUE(view->GetRenderMode().Empty());
  EXPECT_FALSE(view->ShowBackFaces());

  IDirect3DRMViewport2* vp = view->GetIDirect3DRMViewport2();
  IDirect3DRMDevice3* device = view->GetIDirect3DRMDevice3();
  EXPECT_EQ(vp->GetBack(), 5000.0f);
  EXPECT_EQ(vp->GetFront(), 1.0f);
  EXPECT_EQ(vp->GetField(), 0.5f);
  EXPECT_EQ(device->GetQuality(), 0x89u);
  EXPECT_EQ(device->GetRenderMode(), 0u);
}

TEST_F(QualityTest, QualityChangesRebuildTheChainAndReachTheNewDevice) {
  TKV3DView* view = MakeShowingView();
  TKV3DViewQuality* q = view->Quality();
  ComPtr<IDirect3DRMDevice3> first(view->GetIDirect3DRMDevice3());
  q->SetFillMode(fmPoints);
  q->SetLightMode(false);
  q->SetShadeMode(smFlat);
  EXPECT_EQ(q->RenderQuality(), 0u);
  EXPECT_NE(view->GetIDirect3DRMDevice3(), first.Get());
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetQuality(), 0u);
  q->SetShadeMode(smPhong);
  q->SetFillMode(fmWireframe);
  q->SetLightMode(true);
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetQuality(), 2u | 8u | 0x40u);

  // The texture quality rebuilds even when set to the value it has.
  ComPtr<IDirect3DRMDevice3> before(view->GetIDirect3DRMDevice3());
  q->SetTextureQuality(tqNearest);
  EXPECT_NE(view->GetIDirect3DRMDevice3(), before.Get());
  q->SetTextureQuality(tqLinearMipLinear);
  q->SetDither(true);
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetTextureQuality(), 5u);
  EXPECT_TRUE(view->GetIDirect3DRMDevice3()->GetDither());
  EXPECT_EQ(q->GetTextureQuality(), tqLinearMipLinear);

  // Values outside the enumerations are refused and change nothing.
  EXPECT_FALSE(q->SetShadeMode(static_cast<TRShadeMode>(7)));
  EXPECT_FALSE(q->SetTextureQuality(static_cast<TTextureQuality>(6)));
  EXPECT_EQ(q->ShadeMode(), smPhong);
  EXPECT_EQ(q->GetTextureQuality(), tqLinearMipLinear);
}

TEST_F(QualityTest, ReadBacksWaitWhileAChangeIsPendingUnderAutomaticRendering) {
  TKV3DView* view = MakeShowingView();
  view->SetAutoRender(true);
  ASSERT_TRUE(WaitForChange(view));
  view->Quality()->SetTextureQuality(tqLinear);  // only raises the loop's request
  EXPECT_FALSE(view->CanGet());
  EXPECT_EQ(view->Quality()->GetTextureQuality(), tqLinear);  // stored, not read from the old device
  ASSERT_TRUE(WaitForChange(view));
  EXPECT_TRUE(view->CanGet());
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetTextureQuality(), 1u);
  view->SetAutoRender(false);
}

TEST_F(QualityTest, PlaneChangesReachTheViewportOnlyWhenValuesChange) {
  TKV3DView* view = MakeShowingView();
  int changes = 0;
  TKV3DPlane* plane = view->Plane();
  auto forward = plane->OnChange;
  plane->OnChange = [&](TObject* sender) {
    ++changes;
    forward(sender);
  };
  plane->SetBack(5000.0f);
  EXPECT_EQ(changes, 0);
  plane->SetBack(100.0f);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetBack(), 100.0f);
  plane->SetField(0.8f);
  EXPECT_FLOAT_EQ(view->GetIDirect3DRMViewport2()->GetField(), 0.8f);

  // Assigning copies all seven values and tells once.
  TKV3DPlane other;
  other.SetBack(300.0f);
  other.SetFront(2.0f);
  other.SetField(0.25f);
  other.SetLeft(-1.0f);
  other.SetRight(1.0f);
  other.SetTop(1.0f);
  other.SetBottom(-1.0f);
  changes = 0;
  view->SetPlane(&other);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(plane->Back(), 300.0f);
  EXPECT_EQ(plane->Front(), 2.0f);
  EXPECT_EQ(plane->Left(), -1.0f);
  EXPECT_EQ(plane->Bottom(), -1.0f);
  EXPECT_EQ(plane->Field(), 0.25f);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetBack(), 300.0f);
  view->SetPlane(&other);
  EXPECT_EQ(changes, 1);  // nothing differs

  // Settings survive a rebuild.
  view->SetBounds(0, 0, 50, 50);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetBack(), 300.0f);
}

TEST_F(QualityTest, AssigningQualityCopiesEverySettingOnce) {
  TKV3DView* view = MakeShowingView();
  TKV3DViewQuality source(nullptr);
  source.SetShadeMode(smFlat);
  source.SetLightMode(false);
  source.SetFillMode(fmWireframe);
  source.SetDither(true);
  source.SetTextureQuality(tqMipLinear);
  ComPtr<IDirect3DRMDevice3> before(view->GetIDirect3DRMDevice3());
  view->SetQuality(&source);
  TKV3DViewQuality* q = view->Quality();
  EXPECT_EQ(q->ShadeMode(), smFlat);
  EXPECT_FALSE(q->LightMode());
  EXPECT_EQ(q->FillMode(), fmWireframe);
  EXPECT_TRUE(q->GetDither());
  EXPECT_EQ(q->GetTextureQuality(), tqMipLinear);
  EXPECT_NE(view->GetIDirect3DRMDevice3(), before.Get());
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetQuality(), 0x40u);
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetTextureQuality(), 3u);
}

TEST_F(QualityTest, ProjectionRenderModeAndBackFacesReadBackFromTheEngine) {
  TKV3DView* view = MakeShowingView();
  ASSERT_TRUE(view->SetProjectionType(ptOrthographic));
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetProjection(), D3DRMPROJECT_ORTHOGRAPHIC);
  EXPECT_EQ(view->GetProjectionType(), ptOrthographic);
  view->SetUniformScaling(false);
  EXPECT_FALSE(view->GetIDirect3DRMViewport2()->GetUniformScaling());

  view->SetRenderMode(TSetRMs{rmSortedTransparency});
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetRenderMode(), 3u);
  EXPECT_EQ(view->GetRenderMode().Bits(), TSetRMs({rmBlendedTransparency, rmSortedTransparency}).Bits());
  view->SetRenderMode(TSetRMs{rmLightInModelSpace, rmDisableSortedAlphaZWrite, rmViewDependentSpecular});
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetRenderMode(), 8u | 0x20u | 0x10u);

  // Back faces: culled counter-clockwise unless shown; kept through rebuilds.
  EXPECT_EQ(CullMode(view), D3DCULL_CCW);
  view->SetShowBackFaces(true);
  EXPECT_EQ(CullMode(view), D3DCULL_NONE);
  view->SetBounds(0, 0, 40, 40);
  EXPECT_EQ(CullMode(view), D3DCULL_NONE);
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetRenderMode(), 8u | 0x20u | 0x10u);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetProjection(), D3DRMPROJECT_ORTHOGRAPHIC);
}

TEST_F(QualityTest, HandednessBelongsToEveryViewOfTheProcess) {
  TKV3DView* left = MakeShowingView();
  TKV3DView* right = MakeView();
  right->SetScene(scene);
  right->SetCamera(camera);
  ASSERT_TRUE(right->SetProjectionHand(phRightHand));
  EXPECT_EQ(left->GetProjectionHand(), phRightHand);
  DWORD options = 0;
  SharedD3DRM3()->GetOptions(&options);
  EXPECT_EQ(options, D3DRMOPTIONS_RIGHTHANDED);
  ASSERT_TRUE(left->SetProjectionHand(phLeftHand));  // stored right-handed by the read, so it changes
  EXPECT_EQ(right->GetProjectionHand(), phLeftHand);
}

}  // namespace
}  // namespace kvtest
