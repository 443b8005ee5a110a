// The keyboard component driven through the headless input source.
#include "InputFixture.h"

using namespace kv;

namespace kvtest {
namespace {

class KeyboardTest : public InputTest {
 protected:
  TKVIKeyboard* MakeKeyboard(bool buffered = true) {
    auto* keys = new TKVIKeyboard(form.get());
    keys->SetBuffered(buffered);
    keys->OnKeyDown = [this](TObject*, DWORD k, DWORD t, DWORD s) { Log("down", k, t, s); };
    keys->OnKeyUp = [this](TObject*, DWORD k, DWORD t, DWORD s) { Log("up", k, t, s); };
    keys->OnKeyPressed = [this](TObject*, DWORD k) { log.push_back("pressed " + std::to_string(k)); };
    keys->OnMoreKeys = [this](TObject*) { log.push_back("more"); };
    return keys;
  }
  void Log(const char* what, DWORD k, DWORD t, DWORD s) {
    log.push_back(std::string(what) + " " + std::to_string(k) + " @" + std::to_string(t) + "#" + std::to_string(s));
  }
};

TEST_F(KeyboardTest, ActivationAcquiresForTheFormAndSettingsRebuild) {
  TKVIKeyboard* keys = MakeKeyboard();
  keys->SetBufferSize(300);
  EXPECT_EQ(keys->BufferSize(), 256u);
  keys->SetActive(true);
  ASSERT_EQ(HeadlessInput::AcquiredDevices().size(), 1u);
  EXPECT_FALSE(HeadlessInput::AcquiredDevices()[0].mouse);
  EXPECT_EQ(HeadlessInput::AcquiredDevices()[0].cooperativeFlags, DISCL_FOREGROUND | DISCL_EXCLUSIVE);
  EXPECT_EQ(LastDXResult.load(), DI_OK);
  keys->SetExclusive(false);
  ASSERT_EQ(HeadlessInput::AcquiredDevices().size(), 1u);
  EXPECT_EQ(HeadlessInput::AcquiredDevices()[0].cooperativeFlags, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE);
  keys->SetActive(false);
  EXPECT_TRUE(HeadlessInput::AcquiredDevices().empty());
  EXPECT_TRUE(Boxes().empty()) << "the keyboard reports through the silent error reporter";
}

TEST_F(KeyboardTest, ImmediatePressHoldReleaseSequence) {
  TKVIKeyboard* keys = MakeKeyboard(false);
  keys->SetActive(true);
  HeadlessInput::PressKey(DIK_A, 10);
  EXPECT_TRUE(keys->CheckChange());
  EXPECT_TRUE(keys->IsKeyPressed(DIK_A));
  EXPECT_FALSE(keys->IsKeyPressed(DIK_B));
  EXPECT_TRUE(keys->CheckChange());
  HeadlessInput::ReleaseKey(DIK_A, 20);
  EXPECT_TRUE(keys->CheckChange());
  EXPECT_FALSE(keys->IsKeyPressed(DIK_A));
  const std::string a = std::to_string(DIK_A);
  EXPECT_EQ(log, (std::vector<std::string>{"down " + a + " @0#0", "pressed " + a, "more", "pressed " + a, "more",
                                           "up " + a + " @0#0"}));

  log.clear();
  HeadlessInput::PressKey(DIK_SPACE, 30);
  keys->Tick(nullptr);
  const std::string sp = std::to_string(DIK_SPACE);
  EXPECT_EQ(log, (std::vector<std::string>{"down " + sp + " @0#0", "pressed " + sp, "more", "pressed " + sp, "more"}))
      << "the second pass repeats only what is held";
}

TEST_F(KeyboardTest, BufferedRecordsCarryScanCodeStampAndSequenceAndTickRepeatsThem) {
  TKVIKeyboard* keys = MakeKeyboard();
  keys->SetActive(true);
  HeadlessInput::PressKey(DIK_A, 100);
  HeadlessInput::ReleaseKey(DIK_A, 150);
  EXPECT_TRUE(keys->CheckChange());
  const std::string a = std::to_string(DIK_A);
  EXPECT_EQ(log, (std::vector<std::string>{"down " + a + " @100#1", "up " + a + " @150#2"}));
  EXPECT_FALSE(keys->IsKeyPressed(DIK_A)) << "buffered reads leave the immediate key state alone";

  log.clear();
  HeadlessInput::PressKey(DIK_B, 200);
  keys->Tick(nullptr);
  const std::string b = std::to_string(DIK_B);
  EXPECT_EQ(log, (std::vector<std::string>{"down " + b + " @200#3", "down " + b + " @200#3"}));
}

TEST_F(KeyboardTest, OverflowBeepsAndStillReportsTheKeptRecords) {
  TKVIKeyboard* keys = MakeKeyboard();
  keys->SetBufferSize(300);
  keys->SetActive(true);
  // 150 keys pressed and released: 300 records for a buffer of 256.
  for (DWORD i = 0; i < 150; ++i) {
    HeadlessInput::PressKey(static_cast<BYTE>(i + 1), i);
    HeadlessInput::ReleaseKey(static_cast<BYTE>(i + 1), i);
  }
  EXPECT_TRUE(keys->CheckChange());
  EXPECT_EQ(log.size(), 256u);
  EXPECT_EQ(log.front(), "down 1 @0#1");
  const auto beeps = kv::platform::RecordedBeeps();
  ASSERT_EQ(beeps.size(), 1u);
  EXPECT_EQ(beeps[0].frequency, 0u);
  EXPECT_EQ(beeps[0].duration, 0u);
}

TEST_F(KeyboardTest, InactiveOrLostDevicesReportNothing) {
  TKVIKeyboard* keys = MakeKeyboard(false);
  keys->SetActive(true);
  HeadlessInput::PressKey(DIK_Q, 1);
  EXPECT_TRUE(keys->CheckChange());
  keys->SetActive(false);
  log.clear();
  EXPECT_FALSE(keys->CheckChange()) << "inactive: no read, no events";
  keys->Tick(nullptr);
  EXPECT_TRUE(log.empty());

  keys->SetActive(true);
  HeadlessInput::LoseFocus();
  EXPECT_FALSE(keys->CheckChange());
  EXPECT_LT(LastDXResult.load(), 0);
  HeadlessInput::GainFocus();
  EXPECT_FALSE(keys->CheckChange()) << "the poll that re-acquires reports nothing";
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(keys->CheckChange());
  EXPECT_FALSE(log.empty());
}

TEST_F(KeyboardTest, DeactivationReportsAFailedReleaseOnce) {
  // A device that lost its input is no longer acquired: letting it go
  // answers DI_NOEFFECT, which a reporter showing everything shows once.
  TKVIKeyboard* keys = MakeKeyboard();
  keys->SetActive(true);
  HeadlessInput::LoseFocus();
  Runtime().reportAllDXErrors = true;
  keys->SetActive(false);
  Runtime().reportAllDXErrors = false;
  HeadlessInput::GainFocus();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].find("S_FALSE"), std::string::npos) << Boxes()[0];
  EXPECT_EQ(LastDXResult.load(), 1);  // what the reporter answered
}

TEST_F(KeyboardTest, PublishedPropertiesInOrder) {
  std::vector<std::string> names;
  for (const auto& p : TKVIKeyboard::StaticClass().Properties()) names.push_back(p.name);
  const std::vector<std::string> tail{"BufferSize", "Buffered",     "Exclusive", "Background",
                                      "OnKeyPressed", "OnKeyUp", "OnKeyDown", "OnMoreKeys"};
  ASSERT_GE(names.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(names.end() - tail.size(), names.end()), tail);
}

}  // namespace
}  // namespace kvtest
