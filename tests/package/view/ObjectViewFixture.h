// A rendering view (64 x 48, camera at the scene's origin looking along +z)
// on a form that also owns the visual objects the picking and collision
// tests place.
#pragma once

#include "ViewFixture.h"
#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"

namespace kvtest {

using namespace kv;

class ObjectViewTest : public ViewTest {
 protected:
  static constexpr int kCentreX = 32;
  static constexpr int kCentreY = 24;

  void SetUp() override {
    ViewTest::SetUp();
    view = MakeView(64, 48);
    MakeScene(clBlack);
    view->SetScene(scene);
    view->SetCamera(camera);
  }

  // An object with a generated shape at (x, y, z) of its parent frame.
  TKV3DObject* Place(const char* name, float x, float y, float z, TMShapeType shape = stCube,
                     TKV3DCustomFrame* parent = nullptr, TComponent* owner = nullptr) {
    auto* object = new TKV3DObject(owner != nullptr ? owner : form.get());
    object->SetName(name);
    object->SetParentFrame(parent != nullptr ? parent : scene);
    object->Mesh()->SetActiveShape(shape);
    object->Position()->SetX(x);
    object->Position()->SetY(y);
    object->Position()->SetZ(z);
    return object;
  }

  TKV3DFrame* PlaceFrame(const char* name, TKV3DCustomFrame* parent, float z = 0) {
    auto* frame = new TKV3DFrame(form.get());
    frame->SetName(name);
    frame->SetParentFrame(parent);
    frame->Position()->SetZ(z);
    return frame;
  }

  TKV3DView* view = nullptr;
};

}  // namespace kvtest
