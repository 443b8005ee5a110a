// Shared set-up of the input device tests: the headless backend, a form
// window, and devices configured the way the input components configure them.
#pragma once

#include <gtest/gtest.h>

#include "korvane3d/platform/dinput/DInput.h"
#include "korvane3d/platform/dinput/HeadlessInput.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv::dinput::test {

using kv::ComPtr;

inline HWND MakeWindow(HWND parent = nullptr) {
  const DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  return CreateWindowExA(0, "dinput test", style, 0, 0, 320, 240, parent,
                         [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
}

inline DIPROPDWORD BufferSizeProperty(DWORD size) {
  DIPROPDWORD prop{};
  prop.diph.dwSize = sizeof(DIPROPDWORD);
  prop.diph.dwHeaderSize = sizeof(DIPROPHEADER);
  prop.diph.dwObj = 0;
  prop.diph.dwHow = DIPH_DEVICE;
  prop.dwData = size;
  return prop;
}

inline DWORD BufferSizeOf(IDirectInputDeviceA* device) {
  DIPROPDWORD prop = BufferSizeProperty(0xDEADBEEF);
  EXPECT_EQ(device->GetProperty(DIPROP_BUFFERSIZE, &prop.diph), DI_OK);
  return prop.dwData;
}

class DInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    HeadlessInput::Reset();
    form_ = MakeWindow();
    ASSERT_NE(form_, nullptr);
    ASSERT_EQ(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, di_.ReleaseAndGetAddressOf(), nullptr), DI_OK);
  }
  void TearDown() override {
    HeadlessInput::Reset();
    if (IsWindow(form_)) DestroyWindow(form_);
  }

  ComPtr<IDirectInputDeviceA> Create(REFGUID guid) {
    ComPtr<IDirectInputDeviceA> device;
    EXPECT_EQ(di_->CreateDevice(guid, device.ReleaseAndGetAddressOf(), nullptr), DI_OK);
    return device;
  }

  // Format, cooperative level for the form, buffer size (0: unbuffered),
  // and acquired: what a component's activation does.
  ComPtr<IDirectInputDeviceA> Ready(REFGUID guid, DWORD bufferSize = 16,
                                    DWORD flags = DISCL_FOREGROUND | DISCL_EXCLUSIVE) {
    ComPtr<IDirectInputDeviceA> device = Create(guid);
    EXPECT_EQ(device->SetDataFormat(guid == GUID_SysMouse ? &c_dfDIMouse : &c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(device->SetCooperativeLevel(form_, flags), DI_OK);
    if (bufferSize > 0) {
      DIPROPDWORD prop = BufferSizeProperty(bufferSize);
      EXPECT_EQ(device->SetProperty(DIPROP_BUFFERSIZE, &prop.diph), DI_OK);
    }
    EXPECT_EQ(device->Acquire(), DI_OK);
    return device;
  }

  HWND form_ = nullptr;
  ComPtr<IDirectInputA> di_;
};

// Reads every buffered record (up to 64).
inline std::vector<DIDEVICEOBJECTDATA> ReadAll(IDirectInputDeviceA* device, HRESULT* result = nullptr) {
  std::vector<DIDEVICEOBJECTDATA> records(64);
  DWORD count = static_cast<DWORD>(records.size());
  HRESULT hr = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records.data(), &count, 0);
  if (result) *result = hr;
  records.resize(SUCCEEDED(hr) ? count : 0);
  return records;
}

}  // namespace kv::dinput::test
