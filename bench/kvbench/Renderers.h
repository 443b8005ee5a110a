// Renderers that kvbench times on the reference scenes: ours, and as the
// side-by-side peers OSMesa's fixed-function GL (llvmpipe) and Irrlicht's
// Burning's Video when they are built in; the viewer's demo through the view.
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
  // Triangles submitted in the last frame, when the renderer counts them
  // itself (0: the scene's fixed count).
  virtual std::uint64_t TrianglesPerFrame() const { return 0; }
};

std::unique_ptr<SceneRenderer> MakeKorvaneRenderer();
// The same scenes built as a retained-mode scene graph and drawn through a
// device and viewport: what an application pays per frame. hardware: the
// OpenGL device (korvane-hal) instead of the software one (korvane-rm).
std::unique_ptr<SceneRenderer> MakeEngineRenderer(bool hardware);
// Null when kvbench was built without OSMesa.
std::unique_ptr<SceneRenderer> MakeOsmesaRenderer();
// Null when kvbench was built without Irrlicht.
std::unique_ptr<SceneRenderer> MakeIrrlichtRenderer();
// The viewer's demo form through a view (the scene named "demo"), drawn by
// the driver the view chooses (korvane-view) or by the OpenGL device
// (korvane-hal).
std::unique_ptr<SceneRenderer> MakeDemoRenderer(bool hardware);

}  // namespace kvbench
