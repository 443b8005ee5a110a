#include "korvane3d/frames/SceneViewport.h"

#include "korvane3d/frames/Kv3dframe.h"

namespace kv {

IDirect3DRMViewport2* FindSceneViewport(TKV3DCustomFrame* frame) {
  if (frame == nullptr || frame->Owner() == nullptr) return nullptr;
  IDirect3DRMFrame3* scene = frame->GetIScene();
  if (scene == nullptr) return nullptr;
  TComponent* owner = frame->Owner();
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    auto* viewer = dynamic_cast<ISceneViewer*>(owner->Components(i));
    if (viewer == nullptr) continue;
    if (IDirect3DRMViewport2* viewport = viewer->ViewportForScene(scene)) return viewport;
  }
  return nullptr;
}

}  // namespace kv
