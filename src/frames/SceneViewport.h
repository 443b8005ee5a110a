// How a frame finds the viewport that shows its scene: among the components
// of its owner, the first that shows the frame's scene through a viewport.
// A component that shows scenes (the view) implements ISceneViewer; nothing
// is installed at run time, and a frame whose owner has no such component
// is shown nowhere (GetIViewport returns null and the position's screen
// coordinates only store their values).
#pragma once

#include "korvane3d/rm/D3DRM.h"

namespace kv {

class IDirect3DRMViewport2;
class TKV3DCustomFrame;

class ISceneViewer {
 public:
  // The viewport through which the scene whose root frame is `sceneFrame`
  // is shown, or null.
  virtual IDirect3DRMViewport2* ViewportForScene(IDirect3DRMFrame3* sceneFrame) = 0;

 protected:
  ~ISceneViewer() = default;
};

// The viewport showing this frame's scene; null without an owner, a scene
// or a component of the owner that shows it.
IDirect3DRMViewport2* FindSceneViewport(TKV3DCustomFrame* frame);

}  // namespace kv
