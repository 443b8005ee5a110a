#include "korvane3d/frames/SceneViewport.h"

namespace kv {

namespace {
SceneViewportHooks& Hooks() {
  static SceneViewportHooks hooks;
  return hooks;
}
}  // namespace

void SetSceneViewportHooks(const SceneViewportHooks& hooks) { Hooks() = hooks; }
const SceneViewportHooks& GetSceneViewportHooks() { return Hooks(); }

IDirect3DRMViewport2* FindSceneViewport(TKV3DCustomFrame* frame) {
  return frame != nullptr && Hooks().find != nullptr ? Hooks().find(frame) : nullptr;
}

}  // namespace kv
