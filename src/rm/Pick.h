// Picking: which visuals a ray from the camera through a pixel meets,
// nearest first, with the frames leading to each.
#pragma once

#include <vector>

#include "korvane3d/rm/DeviceInterfaces.h"
#include "korvane3d/rm/Frame.h"

namespace kv::rm {

// Points origin + t·direction, t in [0, 1] (the front plane to the back plane).
struct PickRay {
  Vec3 origin;
  Vec3 direction;
};

struct PickHit {
  ComPtr<IDirect3DRMVisual> visual;
  std::vector<ComPtr<IDirect3DRMFrame3>> frames;  // scene root first
  D3DRMPICKDESC desc;
  float t = 0;
};

// Every visual under root (PICKENABLE frames) that the ray meets, each
// frame-visual pair once at its nearest face, nearest first. With the
// engine lock held.
std::vector<PickHit> PickScene(Frame& root, const PickRay& ray);

ComPtr<IDirect3DRMPickedArray> MakePickedArray(std::vector<PickHit> hits);

}  // namespace kv::rm
