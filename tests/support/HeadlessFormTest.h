// Shared set-up of the component tests: the headless platform, a fresh
// engine root, the package registered, and a form that owns the components
// the test makes.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "korvane3d/host/Forms.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/Backend.h"

namespace kvtest {

using namespace kv;

template <class DefaultComponent>
class HeadlessFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    kv::ResetSharedRuntime();
    kv::Register();
    form = std::make_unique<kv::TForm>(nullptr);
  }
  void TearDown() override {
    form.reset();
    kv::ResetSharedRuntime();
  }

  // A component owned by the form, optionally named.
  template <class T = DefaultComponent>
  T* Make(const char* name = nullptr) {
    auto* c = new T(form.get());  // owned by the form
    if (name != nullptr) c->SetName(name);
    return c;
  }

  std::unique_ptr<kv::TForm> form;
};

}  // namespace kvtest
