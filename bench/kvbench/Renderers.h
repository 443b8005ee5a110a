// Renderers that kvbench times on the reference scenes: ours, and OSMesa's
// fixed-function GL (llvmpipe) as the side-by-side peer when it is built in.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "kvbench/Scenes.h"

namespace kvbench {

using namespace kv;

class SceneRenderer {
 public:
  virtual ~SceneRenderer() = default;
  virtual const char* Name() const = 0;
  // Builds the scene once (not timed). False, with a message on stderr, on failure.
  virtual bool Init(const BenchScene& scene) = 0;
  // One frame: clear, draw every object, finish the image in memory.
  virtual bool RenderFrame() = 0;
  // The last frame as 0x00RRGGBB, top row first.
  virtual void ReadImage(std::vector<std::uint32_t>& rgb) = 0;
};

std::unique_ptr<SceneRenderer> MakeKorvaneRenderer();
// The same scenes built as a retained-mode scene graph and drawn through a
// device and viewport: what an application pays per frame.
std::unique_ptr<SceneRenderer> MakeEngineRenderer();
// Null when kvbench was built without OSMesa.
std::unique_ptr<SceneRenderer> MakeOsmesaRenderer();

}  // namespace kvbench
