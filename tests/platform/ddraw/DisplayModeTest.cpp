// Display modes, their enumeration, and the cooperative level they need.
#include <algorithm>
#include <tuple>
#include <vector>

#include "DDrawTestSupport.h"

using namespace kv;

namespace kvtest {
namespace {

using Mode = std::tuple<DWORD, DWORD, DWORD, DWORD>;  // width, height, bits, refresh

std::vector<Mode> Enumerate(IDirectDraw4* dd, DWORD flags, DDSURFACEDESC2* filter, int stopAfter = -1) {
  struct Context {
    std::vector<Mode> modes;
    int stopAfter;
  } context{{}, stopAfter};
  EXPECT_EQ(dd->EnumDisplayModes(flags, filter, &context,
                                 [](DDSURFACEDESC2* desc, LPVOID raw) -> HRESULT {
                                   auto* c = static_cast<Context*>(raw);
                                   c->modes.emplace_back(desc->dwWidth, desc->dwHeight,
                                                         desc->ddpfPixelFormat.dwRGBBitCount, desc->dwRefreshRate);
                                   EXPECT_EQ(desc->lPitch, static_cast<LONG>(desc->dwWidth *
                                                                             desc->ddpfPixelFormat.dwRGBBitCount / 8));
                                   return static_cast<int>(c->modes.size()) == c->stopAfter ? DDENUMRET_CANCEL
                                                                                             : DDENUMRET_OK;
                                 }),
            DD_OK);
  return context.modes;
}

using DisplayModes = DisplayTest;

TEST_F(DisplayModes, EnumeratesTheVirtualMonitorsModesInAscendingOrderIncludingEightBits) {
  std::vector<Mode> modes = Enumerate(dd.Get(), 0, nullptr);
  ASSERT_EQ(modes.size(), 36u);  // nine sizes at four depths
  EXPECT_EQ(modes.front(), Mode(320, 200, 8, 0));
  EXPECT_EQ(modes[1], Mode(320, 200, 16, 0));
  EXPECT_EQ(modes.back(), Mode(1280, 1024, 32, 0));
  EXPECT_TRUE(std::is_sorted(modes.begin(), modes.end()));
  // Without DDEDM_REFRESHRATES the rate is not given; with it, each rate is.
  std::vector<Mode> withRates = Enumerate(dd.Get(), DDEDM_REFRESHRATES, nullptr);
  ASSERT_EQ(withRates.size(), 36u);
  EXPECT_EQ(std::get<3>(withRates.front()), 60u);
}

TEST_F(DisplayModes, FilterAndCancelLimitTheEnumeration) {
  DDSURFACEDESC2 filter = Desc(DDSD_WIDTH | DDSD_PIXELFORMAT, 0, 640);
  filter.ddpfPixelFormat.dwRGBBitCount = 16;
  EXPECT_EQ(Enumerate(dd.Get(), 0, &filter), (std::vector<Mode>{{640, 400, 16, 0}, {640, 480, 16, 0}}));
  EXPECT_EQ(Enumerate(dd.Get(), 0, nullptr, 3).size(), 3u);
  EXPECT_EQ(dd->EnumDisplayModes(0, nullptr, nullptr, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DisplayModes, SettableModeListIsSortedAndDeduplicated) {
  kv::ddraw::SetHeadlessDisplayModes({{800, 600, 32, 75}, {640, 480, 16, 60}, {800, 600, 32, 75}, {800, 600, 32, 60}});
  EXPECT_EQ(Enumerate(dd.Get(), DDEDM_REFRESHRATES, nullptr),
            (std::vector<Mode>{{640, 480, 16, 60}, {800, 600, 32, 60}, {800, 600, 32, 75}}));
  // Rates of one size and depth collapse into one entry without the flag.
  EXPECT_EQ(Enumerate(dd.Get(), 0, nullptr), (std::vector<Mode>{{640, 480, 16, 0}, {800, 600, 32, 0}}));
}

TEST_F(DisplayModes, SetDisplayModeNeedsTheExclusiveLevelAndAListedMode) {
  EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
  HWND form = MakeTopWindow(0, 0, 300, 200);
  ASSERT_EQ(dd->SetCooperativeLevel(form, DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_FPUSETUP),
            DD_OK);
  EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
  EXPECT_EQ(kv::ddraw::CurrentDisplayMode(), (kv::ddraw::DisplayModeInfo{640, 480, 16, 60}));
  EXPECT_EQ(dd->SetDisplayMode(400, 300, 16, 0, 0), DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 85, 0), DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0x80), DDERR_INVALIDPARAMS);
  // A refused mode leaves the display as it was.
  DDSURFACEDESC2 current = Desc(0, 0);
  current.dwSize = kWindowsDDSurfaceDesc2Size;
  ASSERT_EQ(dd->GetDisplayMode(&current), DD_OK);
  EXPECT_EQ(current.dwWidth, 640u);
  EXPECT_EQ(current.ddpfPixelFormat.dwRGBBitCount, 16u);
  EXPECT_EQ(current.ddpfPixelFormat.dwRBitMask, 0xF800u);
  // Back to the normal level: the desktop's mode again.
  ASSERT_EQ(dd->SetCooperativeLevel(form, DDSCL_NORMAL), DD_OK);
  EXPECT_EQ(kv::ddraw::CurrentDisplayMode(), (kv::ddraw::DisplayModeInfo{1024, 768, 32, 60}));
  DestroyWindow(form);
}

TEST_F(DisplayModes, CooperativeLevelRejectsBadCombinationsAndASecondExclusiveProgram) {
  HWND form = MakeTopWindow(0, 0, 300, 200);
  HWND child = MakeChildWindow(form, 0, 0, 50, 50);
  EXPECT_EQ(dd->SetCooperativeLevel(form, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd->SetCooperativeLevel(form, DDSCL_NORMAL | DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd->SetCooperativeLevel(child, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
  ASSERT_EQ(dd->SetCooperativeLevel(form, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);

  ComPtr<IDirectDraw4> other = MakeDirectDraw4();
  EXPECT_EQ(other->SetCooperativeLevel(form, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DDERR_EXCLUSIVEMODEALREADYSET);
  EXPECT_EQ(other->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
  // Releasing the holder frees the level and restores the desktop mode.
  ASSERT_EQ(dd->SetDisplayMode(800, 600, 24, 0, 0), DD_OK);
  dd = nullptr;
  EXPECT_EQ(kv::ddraw::CurrentDisplayMode().width, 1024);
  EXPECT_EQ(other->SetCooperativeLevel(form, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  EXPECT_EQ(other->SetCooperativeLevel(form, DDSCL_NORMAL), DD_OK);
  DestroyWindow(form);
}

TEST(DirectDrawCreate, AnswersTheDirect3DInterfacesAndRefusesOtherDrivers) {
  ComPtr<IDirectDraw> dd;
  GUID other = MakeGuid(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);
  EXPECT_EQ(DirectDrawCreate(&other, dd.ReleaseAndGetAddressOf(), nullptr), DDERR_INVALIDDIRECTDRAWGUID);
  EXPECT_EQ(DirectDrawCreate(DDCREATE_HARDWAREONLY, dd.ReleaseAndGetAddressOf(), nullptr), DDERR_NODIRECTDRAWHW);
  EXPECT_FALSE(dd);
  ASSERT_EQ(DirectDrawCreate(nullptr, dd.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  ComPtr<IDirect3D3> d3d3;
  ComPtr<IDirect3D2> d3d2;
  ComPtr<IDirect3D> d3d;
  ComPtr<IUnknown> identity1, identity2;
  ASSERT_EQ(dd.As(IID_IDirect3D3, d3d3), S_OK);
  ASSERT_EQ(d3d3.As(IID_IDirect3D2, d3d2), S_OK);
  ASSERT_EQ(d3d2.As(IID_IDirect3D, d3d), S_OK);
  ASSERT_EQ(d3d.As(IID_IUnknown, identity1), S_OK);
  ASSERT_EQ(dd.As(IID_IUnknown, identity2), S_OK);
  EXPECT_EQ(identity1.Get(), identity2.Get());
  ComPtr<IDirectDrawSurface4> notThere;
  EXPECT_EQ(dd.As(IID_IDirectDrawSurface4, notThere), E_NOINTERFACE);
}

}  // namespace
}  // namespace kvtest
