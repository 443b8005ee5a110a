// A headless form with a view, a scene and a camera for benchmarks that go
// through the components (the view's chain built, no automatic rendering).
#pragma once

#include <chrono>
#include <memory>
#include <thread>

#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/host/Application.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/scene/Kv3dscene.h"
#include "korvane3d/view/Kv3dview.h"

namespace kvbench {

using namespace kv;

struct ViewBench {
  std::unique_ptr<kv::TForm> form;
  kv::TKV3DView* view = nullptr;
  kv::TKV3DScene* scene = nullptr;
  kv::TKV3DCamera* camera = nullptr;

  // False when the view's chain could not be built.
  bool Build(int width, int height) {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    form = std::make_unique<kv::TForm>(nullptr);
    form->SetBounds(0, 0, width + 16, height + 16);
    form->Show();
    view = new kv::TKV3DView(form.get());
    view->SetParent(form.get());
    view->SetBounds(0, 0, width, height);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (view->RenderLoop()->ChangePending() && std::chrono::steady_clock::now() < end) {
      kv::Application().ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    scene = new kv::TKV3DScene(form.get());
    camera = new kv::TKV3DCamera(form.get());
    camera->SetParentFrame(scene);
    view->SetScene(scene);
    view->SetCamera(camera);
    return view->GetIDirect3DRMViewport2() != nullptr;
  }

  // A visual object with a generated cube at (x, y, z) of the scene. Hung
  // under the scene's frame when inScene; otherwise it stays under the root
  // frame, which the scene's frame coincides with (setting a parent frame
  // notifies every component of the form, too slow for 10,000 objects).
  kv::TKV3DObject* Place(float x, float y, float z, bool inScene = true) {
    auto* object = new kv::TKV3DObject(form.get());
    if (inScene) object->SetParentFrame(scene);
    object->Mesh()->SetActiveShape(kv::stCube);
    object->Position()->SetX(x);
    object->Position()->SetY(y);
    object->Position()->SetZ(z);
    return object;
  }
};

}  // namespace kvbench
