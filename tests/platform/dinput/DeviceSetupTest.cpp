// Creating DirectInput and its devices, and configuring them: versions, data
// formats, cooperative levels, the buffer size property and acquisition.
#include <vector>

#include "DInputTestSupport.h"

namespace kv::dinput::test {
namespace {

TEST(DirectInputCreate, AcceptsReleasedVersionsAndRefusesOthers) {
  kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
  struct Case {
    DWORD version;
    HRESULT expected;
  };
  const Case cases[] = {{0x0300, DI_OK},
                        {0x0500, DI_OK},
                        {0x050A, DI_OK},
                        {0x0700, DI_OK},
                        {0x0000, DIERR_BETADIRECTINPUTVERSION},
                        {0x0400, DIERR_BETADIRECTINPUTVERSION},
                        {0x0501, DIERR_BETADIRECTINPUTVERSION},
                        {0x0701, DIERR_OLDDIRECTINPUTVERSION},
                        {0x0800, DIERR_OLDDIRECTINPUTVERSION}};
  for (const Case& c : cases) {
    IDirectInputA* raw = reinterpret_cast<IDirectInputA*>(0x1);  // must be overwritten
    EXPECT_EQ(DirectInputCreateA(nullptr, c.version, &raw, nullptr), c.expected) << std::hex << c.version;
    ComPtr<IDirectInputA> di = ComPtr<IDirectInputA>::Adopt(raw);
    EXPECT_EQ(di != nullptr, c.expected == DI_OK) << std::hex << c.version;
  }
  EXPECT_EQ(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, nullptr, nullptr), DIERR_INVALIDPARAM);
}

TEST_F(DInputTest, CreatesTheTwoSystemDevicesOnly) {
  ComPtr<IDirectInputDeviceA> device;
  EXPECT_EQ(di_->CreateDevice(GUID_XAxis, device.ReleaseAndGetAddressOf(), nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(di_->CreateDevice(GUID_SysMouse, nullptr, nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(di_->GetDeviceStatus(GUID_SysKeyboard), DI_OK);
  EXPECT_EQ(di_->GetDeviceStatus(GUID_Key), DIERR_DEVICENOTREG);

  ComPtr<IDirectInputDeviceA> mouse = Create(GUID_SysMouse);
  ComPtr<IDirectInputDevice2A> mouse2;
  EXPECT_EQ(mouse.As(IID_IDirectInputDevice2A, mouse2), S_OK);
  ComPtr<IDirectInputA> wrong;
  EXPECT_EQ(mouse.As(IID_IDirectInputA, wrong), E_NOINTERFACE);
}

TEST_F(DInputTest, TakesExactlyTheStandardFormatOfEachDevice) {
  ComPtr<IDirectInputDeviceA> mouse = Create(GUID_SysMouse);
  ComPtr<IDirectInputDeviceA> keyboard = Create(GUID_SysKeyboard);
  EXPECT_EQ(mouse->SetDataFormat(&c_dfDIKeyboard), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIMouse), DIERR_INVALIDPARAM);
  EXPECT_EQ(mouse->SetDataFormat(nullptr), DIERR_INVALIDPARAM);

  // A component's own copy, recorded with the sizes of a 32-bit Windows
  // program and GUIDs of its own, is the same format.
  static constexpr GUID x = GUID_XAxis, y = GUID_YAxis, z = GUID_ZAxis;
  std::vector<DIOBJECTDATAFORMAT> objects(c_dfDIMouse.rgodf, c_dfDIMouse.rgodf + c_dfDIMouse.dwNumObjs);
  objects[0].pguid = &x;
  objects[1].pguid = &y;
  objects[2].pguid = &z;
  DIDATAFORMAT copy{24, 16, DIDF_RELAXIS, 16, 7, objects.data()};
  EXPECT_EQ(mouse->SetDataFormat(&copy), DI_OK);

  // Any difference makes it another format.
  DIDATAFORMAT absolute = copy;
  absolute.dwFlags = DIDF_ABSAXIS;
  EXPECT_EQ(mouse->SetDataFormat(&absolute), DIERR_INVALIDPARAM);
  objects[3].dwOfs = 20;
  EXPECT_EQ(mouse->SetDataFormat(&copy), DIERR_INVALIDPARAM);
  objects[3].dwOfs = DIMOFS_BUTTON0;
  objects[0].pguid = nullptr;
  EXPECT_EQ(mouse->SetDataFormat(&copy), DIERR_INVALIDPARAM);
  DIDATAFORMAT oddSize = c_dfDIKeyboard;
  oddSize.dwSize = 28;
  EXPECT_EQ(keyboard->SetDataFormat(&oddSize), DIERR_INVALIDPARAM);

  // The keyboard format: 256 optional buttons, one per scan code.
  ASSERT_EQ(c_dfDIKeyboard.dwNumObjs, 256u);
  EXPECT_EQ(c_dfDIKeyboard.rgodf[DIK_A].dwOfs, DIK_A);
  EXPECT_EQ(c_dfDIKeyboard.rgodf[DIK_A].dwType, 0x8000000Cu | (DIK_A << 8));
  EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
}

TEST_F(DInputTest, CooperativeLevelNeedsOneOfEachPairAndATopLevelWindow) {
  ComPtr<IDirectInputDeviceA> mouse = Create(GUID_SysMouse);
  const DWORD invalid[] = {0,
                           DISCL_EXCLUSIVE,
                           DISCL_FOREGROUND,
                           DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND,
                           DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_EXCLUSIVE,
                           DISCL_FOREGROUND | DISCL_EXCLUSIVE | 0x10};
  for (DWORD flags : invalid) EXPECT_EQ(mouse->SetCooperativeLevel(form_, flags), DIERR_INVALIDPARAM) << flags;

  for (DWORD a : {DISCL_FOREGROUND, DISCL_BACKGROUND}) {
    for (DWORD b : {DISCL_EXCLUSIVE, DISCL_NONEXCLUSIVE}) {
      EXPECT_EQ(mouse->SetCooperativeLevel(form_, a | b), DI_OK) << (a | b);
    }
  }

  HWND child = MakeWindow(form_);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(mouse->SetCooperativeLevel(child, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), E_HANDLE);
  EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), E_HANDLE);
  EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_BACKGROUND | DISCL_EXCLUSIVE), E_HANDLE);
  EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE), DI_OK);
  HWND gone = MakeWindow();
  DestroyWindow(gone);
  EXPECT_EQ(mouse->SetCooperativeLevel(gone, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE), E_HANDLE);
}

TEST_F(DInputTest, CooperativeLevelCannotChangeWhileAcquired) {
  ComPtr<IDirectInputDeviceA> keyboard = Ready(GUID_SysKeyboard, 0, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE);
  EXPECT_EQ(keyboard->SetCooperativeLevel(form_, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), DI_OK);
  EXPECT_EQ(keyboard->SetCooperativeLevel(form_, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE), DIERR_ACQUIRED);
  EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
  ASSERT_EQ(keyboard->Unacquire(), DI_OK);
  EXPECT_EQ(keyboard->SetCooperativeLevel(form_, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE), DI_OK);
}

TEST_F(DInputTest, BufferSizePropertyIsCheckedClampedAndFixedWhileAcquired) {
  ComPtr<IDirectInputDeviceA> mouse = Create(GUID_SysMouse);
  ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DI_OK);
  EXPECT_EQ(BufferSizeOf(mouse.Get()), 0u);  // unbuffered until set

  DIPROPDWORD prop = BufferSizeProperty(16);
  EXPECT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, &prop.diph), DI_OK);
  EXPECT_EQ(BufferSizeOf(mouse.Get()), 16u);

  // A size beyond what the device holds is lowered to its limit.
  prop.dwData = 100000;
  EXPECT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, &prop.diph), DI_OK);
  EXPECT_EQ(BufferSizeOf(mouse.Get()), DIBUFFERSIZE_MAX);

  // Malformed headers and unknown properties leave the size alone.
  DIPROPDWORD bad = BufferSizeProperty(8);
  bad.diph.dwHeaderSize = 20;
  EXPECT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, &bad.diph), DIERR_INVALIDPARAM);
  bad = BufferSizeProperty(8);
  bad.diph.dwSize = 16;
  EXPECT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, &bad.diph), DIERR_INVALIDPARAM);
  bad = BufferSizeProperty(8);
  bad.diph.dwHow = DIPH_BYOFFSET;
  EXPECT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, &bad.diph), DIERR_INVALIDPARAM);
  bad = BufferSizeProperty(8);
  bad.diph.dwObj = DIMOFS_Y;
  EXPECT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, &bad.diph), DIERR_INVALIDPARAM);
  EXPECT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(mouse->SetProperty(MakeDiProp(2), &prop.diph), DIERR_UNSUPPORTED);
  EXPECT_EQ(BufferSizeOf(mouse.Get()), DIBUFFERSIZE_MAX);

  ASSERT_EQ(mouse->SetCooperativeLevel(form_, DISCL_FOREGROUND | DISCL_EXCLUSIVE), DI_OK);
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  prop.dwData = 8;
  EXPECT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, &prop.diph), DIERR_ACQUIRED);
  EXPECT_EQ(BufferSizeOf(mouse.Get()), DIBUFFERSIZE_MAX);  // still readable while acquired
}

TEST_F(DInputTest, AcquireNeedsAFormatAndReportsRepeats) {
  ComPtr<IDirectInputDeviceA> keyboard = Create(GUID_SysKeyboard);
  EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM);
  ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
  // Without a cooperative level the device is background, non-exclusive.
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);
  EXPECT_EQ(keyboard->Unacquire(), DI_OK);
  EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);
}

TEST_F(DInputTest, OnlyOneExclusiveDeviceOfAKindAtATime) {
  ComPtr<IDirectInputDeviceA> first = Ready(GUID_SysMouse);
  EXPECT_TRUE(HeadlessInput::MouseCaptured());
  ComPtr<IDirectInputDeviceA> second = Create(GUID_SysMouse);
  ASSERT_EQ(second->SetDataFormat(&c_dfDIMouse), DI_OK);
  ASSERT_EQ(second->SetCooperativeLevel(form_, DISCL_FOREGROUND | DISCL_EXCLUSIVE), DI_OK);
  EXPECT_EQ(second->Acquire(), DIERR_OTHERAPPHASPRIO);

  // Non-exclusive access and the other kind of device are not affected.
  ComPtr<IDirectInputDeviceA> shared = Ready(GUID_SysMouse, 16, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE);
  ComPtr<IDirectInputDeviceA> keyboard = Ready(GUID_SysKeyboard);

  first = nullptr;  // releasing an acquired device gives up its claim
  EXPECT_FALSE(HeadlessInput::MouseCaptured());
  EXPECT_EQ(second->Acquire(), DI_OK);
  EXPECT_TRUE(HeadlessInput::MouseCaptured());
  EXPECT_EQ(HeadlessInput::AcquiredDevices().size(), 3u);
}

TEST_F(DInputTest, ForegroundDeviceCannotBeAcquiredWithoutFocus) {
  ComPtr<IDirectInputDeviceA> foreground = Create(GUID_SysKeyboard);
  ASSERT_EQ(foreground->SetDataFormat(&c_dfDIKeyboard), DI_OK);
  ASSERT_EQ(foreground->SetCooperativeLevel(form_, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), DI_OK);
  ComPtr<IDirectInputDeviceA> background = Create(GUID_SysMouse);
  ASSERT_EQ(background->SetDataFormat(&c_dfDIMouse), DI_OK);
  ASSERT_EQ(background->SetCooperativeLevel(form_, DISCL_BACKGROUND | DISCL_EXCLUSIVE), DI_OK);

  HeadlessInput::LoseFocus();
  EXPECT_EQ(foreground->Acquire(), DIERR_OTHERAPPHASPRIO);
  EXPECT_EQ(background->Acquire(), DI_OK);
  HeadlessInput::GainFocus();
  EXPECT_EQ(foreground->Acquire(), DI_OK);
}

}  // namespace
}  // namespace kv::dinput::test
