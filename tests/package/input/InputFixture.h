// Shared set-up of the input component tests: the headless platform with
// its programmable input source, a form that owns the components, and a
// log of the events they fire.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "korvane3d/host/Application.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/input/Kvikeyboard.h"
#include "korvane3d/input/Kvimouse.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/dinput/HeadlessInput.h"
#include "korvane3d/platform/win/Backend.h"
#include "support/MainThreadPump.h"

namespace kvtest {

using namespace kv;
using kv::dinput::HeadlessInput;

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    HeadlessInput::Reset();
    kv::platform::ClearRecordedMessageBoxes();
    kv::platform::ClearRecordedBeeps();
    form = std::make_unique<TForm>(nullptr);
    form->Handle();
  }
  void TearDown() override {
    form.reset();
    HeadlessInput::Reset();
  }

  static std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const auto& box : kv::platform::RecordedMessageBoxes()) texts.push_back(box.text);
    return texts;
  }

  std::unique_ptr<TForm> form;
  std::vector<std::string> log;
};

}  // namespace kvtest
