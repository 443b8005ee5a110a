// The frame, visual and light arrays: fixed snapshots handed to callers.
#pragma once

#include <vector>

#include "korvane3d/rm/D3DRM.h"

namespace kv::rm {

ComPtr<IDirect3DRMFrameArray> MakeFrameArray(std::vector<ComPtr<IDirect3DRMFrame3>> items);
ComPtr<IDirect3DRMVisualArray> MakeVisualArray(std::vector<ComPtr<IDirect3DRMVisual>> items);
ComPtr<IDirect3DRMLightArray> MakeLightArray(std::vector<ComPtr<IDirect3DRMLight>> items);

}  // namespace kv::rm
