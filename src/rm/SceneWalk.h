// Read-only traversal of a scene for renderers and picking. Take an
// EngineLock around the whole walk and the use of what it hands out: the
// pointers are only good while the lock is held.
//
//   kv::rm::EngineLock lock;
//   kv::rm::Frame* scene = kv::rm::Frame::From(sceneInterface);
//   auto lights = kv::rm::CollectLights(*scene);
//   kv::rm::WalkScene(*scene, D3DRMFRAME_RENDERENABLE, [&](const kv::rm::FrameVisit& v) {
//     for (auto& visual : v.frame->Visuals()) { ... kv::rm::MeshBuilder::From(visual.Get()) ... }
//   });
#pragma once

#include <functional>
#include <span>
#include <vector>

#include "korvane3d/rm/Frame.h"
#include "korvane3d/rm/Light.h"

namespace kv::rm {

struct FrameVisit {
  Frame* frame;
  const Mat4& world;              // frame coordinates -> world (scene root) coordinates
  std::span<Frame* const> path;   // from the frame the walk started at down to this frame
};

// Visits root and every frame below it, parents before children, children
// in order. Frames used as visuals are walked as if they hung below the
// frame holding them (they are not reported as visuals to draw themselves).
// A frame lacking any of the required traversal flags is skipped together
// with everything below it.
void WalkScene(Frame& root, DWORD required, const std::function<void(const FrameVisit&)>& visit);

struct PlacedLight {
  Light* light;
  Mat4 world;  // of the frame carrying it: the light sits at its origin and shines along its +z
};

// Every light attached to a frame of the scene (each time it is attached).
std::vector<PlacedLight> CollectLights(Frame& root);

// Whether a light lights a visual held by the last frame of path (its
// enable frame, if any, must be on the path).
bool LightReaches(const Light& light, std::span<Frame* const> path);

}  // namespace kv::rm
