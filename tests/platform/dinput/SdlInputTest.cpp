// The SDL source with a real window on a private X server: keys and mouse
// input sent by xdotool arrive as buffered DirectInput records.
#include <SDL2/SDL_mouse.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "korvane3d/platform/dinput/DInput.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/WinApi.h"
#include "support/XServer.h"

namespace kv::dinput {
namespace {

using kv::ComPtr;
using namespace std::chrono_literals;

constexpr const char* kCaption = "kv dinput xdotool";

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// Pumps messages until done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    Pump();
    if (done()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

bool Xdotool(const std::string& arguments) { return std::system(("xdotool " + arguments).c_str()) == 0; }

class SdlInput : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x_.Available()) GTEST_SKIP() << x_.Reason();
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs xdotool";
    if (kv::platform::SelectBackend(kv::platform::BackendKind::Sdl) != kv::platform::BackendKind::Sdl) {
      GTEST_SKIP() << "SDL video did not start on this display";
    }
    form_ = CreateWindowExA(0, kCaption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 320, 240, nullptr,
                            [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    ASSERT_NE(form_, nullptr);
    PumpUntil([] { return false; }, 300ms);  // let the window appear
  }
  void TearDown() override {
    keyboard_ = nullptr;
    mouse_ = nullptr;
    di_ = nullptr;
    if (form_ && IsWindow(form_)) DestroyWindow(form_);
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
  }

  ComPtr<IDirectInputDeviceA> MakeDevice(REFGUID guid, const DIDATAFORMAT& format,
                                         DWORD flags = DISCL_FOREGROUND | DISCL_NONEXCLUSIVE) {
    ComPtr<IDirectInputDeviceA> device;
    EXPECT_EQ(di_->CreateDevice(guid, device.ReleaseAndGetAddressOf(), nullptr), DI_OK);
    EXPECT_EQ(device->SetDataFormat(&format), DI_OK);
    EXPECT_EQ(device->SetCooperativeLevel(form_, flags), DI_OK);
    DIPROPDWORD prop{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 64};
    EXPECT_EQ(device->SetProperty(DIPROP_BUFFERSIZE, &prop.diph), DI_OK);
    return device;
  }

  // Gives the form the focus with the pointer over it, then makes DirectInput.
  void FocusFormAndCreate() {
    const std::string window = std::string("search --sync --name '^") + kCaption + "$' ";
    ASSERT_TRUE(Xdotool(window + "windowfocus --sync %1 mousemove --sync --window %1 100 100"));
    ASSERT_TRUE(PumpUntil([&] { return kv::platform::FocusWindow() == form_; })) << "the form never got the focus";
    ASSERT_EQ(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, di_.ReleaseAndGetAddressOf(), nullptr), DI_OK);
  }

  static void Drain(IDirectInputDeviceA* device, std::vector<DIDEVICEOBJECTDATA>& into) {
    DIDEVICEOBJECTDATA records[64];
    DWORD count = 64;
    if (SUCCEEDED(device->GetDeviceData(sizeof records[0], records, &count, 0))) {
      into.insert(into.end(), records, records + count);
    }
  }

  kvtest::XServer x_;  // ends after TearDown has closed SDL's video
  HWND form_ = nullptr;
  ComPtr<IDirectInputA> di_;
  ComPtr<IDirectInputDeviceA> keyboard_;
  ComPtr<IDirectInputDeviceA> mouse_;
};

TEST_F(SdlInput, KeysMovesAndClicksArriveAsRecords) {
  ASSERT_NO_FATAL_FAILURE(FocusFormAndCreate());
  keyboard_ = MakeDevice(GUID_SysKeyboard, c_dfDIKeyboard);
  mouse_ = MakeDevice(GUID_SysMouse, c_dfDIMouse);
  ASSERT_EQ(keyboard_->Acquire(), DI_OK);
  ASSERT_EQ(mouse_->Acquire(), DI_OK);

  const DWORD before = GetTickCount();
  ASSERT_TRUE(Xdotool("key a mousemove_relative 10 5 click 1"));

  std::vector<DIDEVICEOBJECTDATA> keys, mouse;
  LONG dx = 0, dy = 0;
  int buttonRecords = 0;
  const bool arrived = PumpUntil([&] {
    Drain(keyboard_.Get(), keys);
    Drain(mouse_.Get(), mouse);
    dx = dy = 0;
    buttonRecords = 0;
    for (const auto& r : mouse) {
      if (r.dwOfs == DIMOFS_X) dx += static_cast<LONG>(r.dwData);
      if (r.dwOfs == DIMOFS_Y) dy += static_cast<LONG>(r.dwData);
      if (r.dwOfs == DIMOFS_BUTTON0) ++buttonRecords;
    }
    return keys.size() >= 2 && buttonRecords >= 2 && dx >= 10 && dy >= 5;
  });
  ASSERT_TRUE(arrived) << keys.size() << " key records, " << mouse.size() << " mouse records";

  EXPECT_EQ(keys[0].dwOfs, DIK_A);
  EXPECT_EQ(keys[0].dwData, 0x80u);
  EXPECT_EQ(keys[1].dwOfs, DIK_A);
  EXPECT_EQ(keys[1].dwData, 0u);
  EXPECT_EQ(dx, 10);
  EXPECT_EQ(dy, 5);
  EXPECT_EQ(buttonRecords, 2);
  // Time stamps are on GetTickCount's clock, and key, move and click come
  // in that order in the shared sequence.
  EXPECT_GE(static_cast<LONG>(keys[0].dwTimeStamp - before), -50);
  EXPECT_LE(static_cast<LONG>(keys[0].dwTimeStamp - before), 10000);
  EXPECT_LT(keys[1].dwSequence, mouse.front().dwSequence);
}

TEST_F(SdlInput, ExclusiveMouseCapturesThePointerWhileAcquired) {
  ASSERT_NO_FATAL_FAILURE(FocusFormAndCreate());
  mouse_ = MakeDevice(GUID_SysMouse, c_dfDIMouse, DISCL_FOREGROUND | DISCL_EXCLUSIVE);
  ASSERT_EQ(mouse_->Acquire(), DI_OK);
  EXPECT_TRUE(SDL_GetRelativeMouseMode());

  ASSERT_TRUE(Xdotool("mousemove_relative 7 0"));
  std::vector<DIDEVICEOBJECTDATA> records;
  EXPECT_TRUE(PumpUntil([&] {
    Drain(mouse_.Get(), records);
    return !records.empty();
  })) << "no movement while the pointer is captured";

  ASSERT_EQ(mouse_->Unacquire(), DI_OK);
  EXPECT_FALSE(SDL_GetRelativeMouseMode());
}

TEST_F(SdlInput, LosingTheFocusUnacquiresForegroundDevices) {
  ASSERT_NO_FATAL_FAILURE(FocusFormAndCreate());
  keyboard_ = MakeDevice(GUID_SysKeyboard, c_dfDIKeyboard);
  ASSERT_EQ(keyboard_->Acquire(), DI_OK);

  HWND other = CreateWindowExA(0, "kv dinput other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 50, 200, 200,
                               nullptr, [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
  ASSERT_NE(other, nullptr);
  PumpUntil([] { return false; }, 300ms);
  ASSERT_TRUE(Xdotool("search --sync --name '^kv dinput other$' windowfocus --sync %1"));
  BYTE state[256];
  HRESULT hr = DI_OK;
  ASSERT_TRUE(PumpUntil([&] { return (hr = keyboard_->GetDeviceState(sizeof state, state)) != DI_OK; }));
  EXPECT_EQ(hr, DIERR_INPUTLOST);
  EXPECT_EQ(keyboard_->Acquire(), DIERR_OTHERAPPHASPRIO);
  DestroyWindow(other);
}

}  // namespace
}  // namespace kv::dinput
