// Shared set-up of the view tests: the headless platform (virtual monitor
// with its default modes and 60 Hz vertical blank), a fresh engine root, and
// a shown form that owns a view, a scene, a camera and a light.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/host/Application.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/ddraw/VirtualMonitor.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/scene/Kv3dlight.h"
#include "korvane3d/scene/Kv3dscene.h"
#include "support/MainThreadPump.h"
#include "korvane3d/view/Kv3dview.h"

namespace kvtest {

using namespace kv;

// The loop has run the change it was asked for.
inline bool WaitForChange(TKV3DView* view) {
  return PumpUntil([view] { return !view->RenderLoop()->ChangePending(); });
}

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    kv::ddraw::ResetHeadlessDisplay();
    ResetSharedRuntime();
    kv::platform::ClearRecordedMessageBoxes();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(40, 30, 320, 240);
    form->Show();
  }
  void TearDown() override {
    form.reset();
    ResetSharedRuntime();
    kv::ddraw::ResetHeadlessDisplay();
  }

  // A view inside the form, its first change done.
  TKV3DView* MakeView(int width = 64, int height = 48) {
    auto* view = new TKV3DView(form.get());
    view->SetParent(form.get());
    view->SetBounds(0, 0, width, height);
    EXPECT_TRUE(WaitForChange(view));
    return view;
  }

  // Scene (background colour), camera and light, owned by the form.
  void MakeScene(TColor background = clRed) {
    scene = new TKV3DScene(form.get());
    scene->SetBackgroundColor(background);
    camera = new TKV3DCamera(form.get());
    camera->SetParentFrame(scene);
    light = new TKV3DLight(form.get());
    light->SetParentFrame(scene);
  }

  std::unique_ptr<TForm> form;
  TKV3DScene* scene = nullptr;
  TKV3DCamera* camera = nullptr;
  TKV3DLight* light = nullptr;
};

}  // namespace kvtest
