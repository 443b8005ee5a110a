// Input reaching devices: buffered records, immediate state, overflow, and
// losing and regaining the input.
#include "DInputTestSupport.h"

namespace kv::dinput::test {
namespace {

TEST_F(DInputTest, KeyboardRecordsArriveInOrderWithTimeAndSequence) {
  ComPtr<IDirectInputDeviceA> keyboard = Ready(GUID_SysKeyboard);
  HeadlessInput::PressKey(DIK_A, 1000);
  HeadlessInput::PressKey(DIK_LSHIFT, 1005);
  HeadlessInput::PressKey(DIK_A, 1006);  // already held: nothing new
  HeadlessInput::ReleaseKey(DIK_A, 1010);
  HeadlessInput::ReleaseKey(DIK_SPACE, 1011);  // never pressed: nothing new

  HRESULT hr = E_FAIL;
  const auto records = ReadAll(keyboard.Get(), &hr);
  EXPECT_EQ(hr, DI_OK);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].dwOfs, DIK_A);
  EXPECT_EQ(records[0].dwData, 0x80u);
  EXPECT_EQ(records[0].dwTimeStamp, 1000u);
  EXPECT_EQ(records[1].dwOfs, DIK_LSHIFT);
  EXPECT_EQ(records[2].dwOfs, DIK_A);
  EXPECT_EQ(records[2].dwData, 0u);
  EXPECT_EQ(records[2].dwTimeStamp, 1010u);
  EXPECT_LT(records[0].dwSequence, records[1].dwSequence);
  EXPECT_LT(records[1].dwSequence, records[2].dwSequence);
  EXPECT_TRUE(ReadAll(keyboard.Get()).empty());  // taken out by the read
}

TEST_F(DInputTest, MouseRecordsShareASequenceNumberPerMovementAndCountAcrossDevices) {
  ComPtr<IDirectInputDeviceA> mouse = Ready(GUID_SysMouse);
  ComPtr<IDirectInputDeviceA> keyboard = Ready(GUID_SysKeyboard);
  HeadlessInput::MoveMouse(-5, 3, 0, 10);
  HeadlessInput::PressKey(DIK_SPACE, 11);
  HeadlessInput::Button(0, true, 12);
  HeadlessInput::MoveMouse(0, 0, -120, 13);

  const auto m = ReadAll(mouse.Get());
  const auto k = ReadAll(keyboard.Get());
  ASSERT_EQ(m.size(), 4u);
  ASSERT_EQ(k.size(), 1u);
  EXPECT_EQ(m[0].dwOfs, DIMOFS_X);
  EXPECT_EQ(static_cast<LONG>(m[0].dwData), -5);
  EXPECT_EQ(m[1].dwOfs, DIMOFS_Y);
  EXPECT_EQ(m[1].dwData, 3u);
  EXPECT_EQ(m[0].dwSequence, m[1].dwSequence);  // one diagonal movement
  EXPECT_EQ(m[2].dwOfs, DIMOFS_BUTTON0);
  EXPECT_EQ(m[2].dwData, 0x80u);
  EXPECT_EQ(m[3].dwOfs, DIMOFS_Z);
  EXPECT_EQ(static_cast<LONG>(m[3].dwData), -120);
  // The keyboard's record falls between the mouse's in the shared count.
  EXPECT_LT(m[1].dwSequence, k[0].dwSequence);
  EXPECT_LT(k[0].dwSequence, m[2].dwSequence);
  EXPECT_LT(m[2].dwSequence, m[3].dwSequence);
}

TEST_F(DInputTest, PeekPartialReadsAndFlushing) {
  ComPtr<IDirectInputDeviceA> keyboard = Ready(GUID_SysKeyboard);
  for (BYTE key = DIK_Q; key <= DIK_T; ++key) HeadlessInput::PressKey(key, key);  // 5 records

  DIDEVICEOBJECTDATA two[2];
  DWORD count = 2;
  ASSERT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), two, &count, DIGDD_PEEK), DI_OK);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(two[0].dwOfs, DIK_Q);
  count = 2;
  ASSERT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), two, &count, 0), DI_OK);
  EXPECT_EQ(two[0].dwOfs, DIK_Q);  // the peek left them in place
  EXPECT_EQ(two[1].dwOfs, DIK_W);

  count = INFINITE;  // how many are left, without taking them
  ASSERT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), nullptr, &count, DIGDD_PEEK), DI_OK);
  EXPECT_EQ(count, 3u);
  count = INFINITE;  // flush
  ASSERT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), nullptr, &count, 0), DI_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_TRUE(ReadAll(keyboard.Get()).empty());

  count = 2;
  EXPECT_EQ(keyboard->GetDeviceData(20, two, &count, 0), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), two, nullptr, 0), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), two, &count, 2), DIERR_INVALIDPARAM);
}

TEST_F(DInputTest, OverflowKeepsTheOldestRecordsAndIsReportedOnce) {
  ComPtr<IDirectInputDeviceA> mouse = Ready(GUID_SysMouse, 4);
  for (int i = 1; i <= 6; ++i) HeadlessInput::MoveMouse(i, 0, 0, static_cast<DWORD>(i));

  DIDEVICEOBJECTDATA records[8];
  DWORD count = 8;
  ASSERT_EQ(mouse->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, DIGDD_PEEK), DI_BUFFEROVERFLOW);
  count = 8;
  ASSERT_EQ(mouse->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, 0), DI_BUFFEROVERFLOW);
  ASSERT_EQ(count, 4u);
  for (DWORD i = 0; i < count; ++i) EXPECT_EQ(records[i].dwData, i + 1);

  HeadlessInput::MoveMouse(7, 0, 0, 7);
  HRESULT hr = E_FAIL;
  const auto after = ReadAll(mouse.Get(), &hr);
  EXPECT_EQ(hr, DI_OK);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].dwData, 7u);
}

TEST_F(DInputTest, UnbufferedDeviceHasOnlyItsState) {
  ComPtr<IDirectInputDeviceA> mouse = Ready(GUID_SysMouse, 0);
  HeadlessInput::MoveMouse(1, 1, 0, 1);
  DIDEVICEOBJECTDATA record;
  DWORD count = 1;
  EXPECT_EQ(mouse->GetDeviceData(sizeof record, &record, &count, 0), DIERR_NOTBUFFERED);
  DIMOUSESTATE state{};
  EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(state.lX, 1);
}

TEST_F(DInputTest, MouseStateIsMovementSinceTheLastReadAndButtonsHeld) {
  ComPtr<IDirectInputDeviceA> mouse = Ready(GUID_SysMouse);
  HeadlessInput::MoveMouse(3, -2, 0, 1);
  HeadlessInput::MoveMouse(4, -1, 240, 2);
  HeadlessInput::Button(1, true, 3);

  DIMOUSESTATE state{};
  ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(state.lX, 7);
  EXPECT_EQ(state.lY, -3);
  EXPECT_EQ(state.lZ, 240);
  EXPECT_EQ(state.rgbButtons[0], 0);
  EXPECT_EQ(state.rgbButtons[1], 0x80);

  ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(state.lX, 0);  // relative axes start again after each read
  EXPECT_EQ(state.lY, 0);
  EXPECT_EQ(state.lZ, 0);
  EXPECT_EQ(state.rgbButtons[1], 0x80);  // buttons stay as they are

  // State reads do not consume buffered records, nor the other way round.
  EXPECT_EQ(ReadAll(mouse.Get()).size(), 6u);
  EXPECT_EQ(mouse->GetDeviceState(12, &state), DIERR_INVALIDPARAM);
  EXPECT_EQ(mouse->GetDeviceState(sizeof state, nullptr), DIERR_INVALIDPARAM);
}

TEST_F(DInputTest, KeyboardStateStartsFromKeysHeldAtAcquisition) {
  HeadlessInput::PressKey(DIK_LCONTROL, 1);  // held before the device exists
  ComPtr<IDirectInputDeviceA> keyboard = Ready(GUID_SysKeyboard);
  HeadlessInput::PressKey(DIK_UP, 2);

  BYTE keys[256];
  ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
  EXPECT_EQ(keys[DIK_LCONTROL], 0x80);
  EXPECT_EQ(keys[DIK_UP], 0x80);
  EXPECT_EQ(keys[DIK_DOWN], 0);
  // Only the press seen while acquired is a record.
  const auto records = ReadAll(keyboard.Get());
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].dwOfs, DIK_UP);

  HeadlessInput::ReleaseKey(DIK_LCONTROL, 3);
  ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
  EXPECT_EQ(keys[DIK_LCONTROL], 0);
  EXPECT_EQ(keyboard->GetDeviceState(16, keys), DIERR_INVALIDPARAM);
}

TEST_F(DInputTest, UnacquiredDeviceTakesNoInputAndCannotBeRead) {
  ComPtr<IDirectInputDeviceA> keyboard = Ready(GUID_SysKeyboard);
  ASSERT_EQ(keyboard->Unacquire(), DI_OK);
  HeadlessInput::PressKey(DIK_B, 1);

  BYTE keys[256];
  DIDEVICEOBJECTDATA record;
  DWORD count = 1;
  EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard->GetDeviceData(sizeof record, &record, &count, 0), DIERR_NOTACQUIRED);
  ComPtr<IDirectInputDevice2A> polled;
  ASSERT_EQ(keyboard.As(IID_IDirectInputDevice2A, polled), S_OK);
  EXPECT_EQ(polled->Poll(), DIERR_NOTACQUIRED);

  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(polled->Poll(), DI_NOEFFECT);
  EXPECT_TRUE(ReadAll(keyboard.Get()).empty());  // the press came while unacquired
  ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
  EXPECT_EQ(keys[DIK_B], 0x80);  // but the key is held now
}

TEST_F(DInputTest, FocusLossTakesForegroundInputUntilReacquired) {
  ComPtr<IDirectInputDeviceA> mouse = Ready(GUID_SysMouse);
  ComPtr<IDirectInputDeviceA> background = Ready(GUID_SysKeyboard, 16, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE);
  ComPtr<IDirectInputDeviceA> unbuffered = Ready(GUID_SysKeyboard, 0, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE);
  HeadlessInput::MoveMouse(1, 0, 0, 1);
  HeadlessInput::LoseFocus();
  BYTE keys[256];
  EXPECT_EQ(unbuffered->GetDeviceState(sizeof keys, keys), DIERR_INPUTLOST);  // state reads see it too
  EXPECT_FALSE(HeadlessInput::MouseCaptured());
  HeadlessInput::MoveMouse(2, 0, 0, 2);
  HeadlessInput::PressKey(DIK_C, 3);

  HRESULT hr = S_OK;
  ReadAll(mouse.Get(), &hr);
  EXPECT_EQ(hr, DIERR_INPUTLOST);  // reported once,
  ReadAll(mouse.Get(), &hr);
  EXPECT_EQ(hr, DIERR_NOTACQUIRED);  // then the device is simply unacquired
  EXPECT_EQ(ReadAll(background.Get(), &hr).size(), 1u);  // background input goes on
  EXPECT_EQ(hr, DI_OK);

  EXPECT_EQ(mouse->Acquire(), DIERR_OTHERAPPHASPRIO);
  HeadlessInput::GainFocus();
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  HeadlessInput::MoveMouse(3, 0, 0, 4);
  const auto records = ReadAll(mouse.Get(), &hr);
  EXPECT_EQ(hr, DI_OK);
  ASSERT_EQ(records.size(), 1u);  // nothing from before the loss survives
  EXPECT_EQ(records[0].dwData, 3u);
}

TEST(HeadlessInput, RefusesInputThatNamesNoKeyOrButton) {
  EXPECT_FALSE(HeadlessInput::PressKey(0, 1));
  EXPECT_FALSE(HeadlessInput::Button(4, true, 1));
  EXPECT_FALSE(HeadlessInput::Button(-1, true, 1));
  EXPECT_FALSE(HeadlessInput::ButtonHeld(4));
}

}  // namespace
}  // namespace kv::dinput::test
