#include "korvane3d/frames/SceneViewport.h"

#include <cstdint>
#include <vector>

#include "korvane3d/frames/Kv3dframe.h"

namespace kv {

namespace {
// The owner's components that may show scenes, in their order. Every
// frame's screen coordinates ask (a form written, or read back into its
// components), so the last owner's are kept until its list changes. A
// component is listed from its insert on, while it is still being
// constructed; nothing asks for a viewport in that time (the view's
// constructor makes no frame move), so the classes seen are the final ones.
const std::vector<TComponent*>& SceneViewersOf(const TComponent& owner) {
  thread_local struct {
    const TComponent* owner = nullptr;
    std::uint64_t stamp = 0;
    std::vector<TComponent*> viewers;
  } last;
  if (last.owner != &owner || last.stamp != owner.ComponentsStamp()) {
    last.owner = &owner;
    last.stamp = owner.ComponentsStamp();
    last.viewers.clear();
    for (int i = 0; i < owner.ComponentCount(); ++i) {
      if (dynamic_cast<ISceneViewer*>(owner.Components(i)) != nullptr) last.viewers.push_back(owner.Components(i));
    }
  }
  return last.viewers;
}
}  // namespace

IDirect3DRMViewport2* FindSceneViewport(TKV3DCustomFrame* frame) {
  if (frame == nullptr || frame->Owner() == nullptr) return nullptr;
  IDirect3DRMFrame3* scene = frame->GetIScene();
  if (scene == nullptr) return nullptr;
  for (TComponent* component : SceneViewersOf(*frame->Owner())) {
    // Asked again: a viewer being freed is one no longer.
    auto* viewer = dynamic_cast<ISceneViewer*>(component);
    if (viewer == nullptr) continue;
    if (IDirect3DRMViewport2* viewport = viewer->ViewportForScene(scene)) return viewport;
  }
  return nullptr;
}

}  // namespace kv
