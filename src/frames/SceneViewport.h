// How a frame finds the viewport that shows its scene. The view unit
// installs these hooks when it loads; until then no frame is shown in any
// view (GetIViewport returns null and the position's screen coordinates
// only store their values).
#pragma once

#include "korvane3d/rm/D3DRM.h"

namespace kv {

class IDirect3DRMViewport2;


class TKV3DCustomFrame;

struct SceneViewportHooks {
  // The viewport of the first view among the frame's owner's components
  // whose scene frame is the frame's scene, or null.
  IDirect3DRMViewport2* (*find)(TKV3DCustomFrame* frame) = nullptr;
  // World point to homogeneous screen coordinates, and back.
  HRESULT (*transform)(IDirect3DRMViewport2* viewport, D3DRMVECTOR4D* screen, const D3DVECTOR* world) = nullptr;
  HRESULT (*inverseTransform)(IDirect3DRMViewport2* viewport, D3DVECTOR* world, const D3DRMVECTOR4D* screen) =
      nullptr;
};

// Installs the hooks (main thread, normally once at start-up).
void SetSceneViewportHooks(const SceneViewportHooks& hooks);
const SceneViewportHooks& GetSceneViewportHooks();

// The viewport showing this frame's scene, through the installed finder.
IDirect3DRMViewport2* FindSceneViewport(TKV3DCustomFrame* frame);

}  // namespace kv
