// The Irrlicht peer (Burning's Video) as a kvbench renderer: the scene handed
// over as plain arrays to the C++17 part that talks to Irrlicht.
#include "kvbench/Renderers.h"

#if defined(KV_HAVE_IRRLICHT)

#include <cstdio>

#include "kvbench/irrlicht/IrrlichtPeer.h"

namespace kvbench {
namespace {

class IrrlichtRenderer final : public SceneRenderer {
 public:
  const char* Name() const override { return "irrlicht"; }

  bool Init(const BenchScene& scene) override {
    const BenchMesh& m = scene.mesh;
    irrlicht::PeerScene s;
    s.positions = &m.positions[0].x;
    s.normals = &m.normals[0].x;
    s.uvs = &m.uvs[0].u;
    s.colors = m.colors.empty() ? nullptr : m.colors.data();
    s.vertexCount = m.positions.size();
    s.indices = m.indices16.data();
    s.indexCount = m.indices16.size();
    s.instances = &scene.instances[0].x;
    s.instanceCount = scene.instances.size();
    s.lit = scene.lit;
    s.textured = scene.textured;
    s.textureSize = scene.textureSize;
    s.texture = scene.texture.data();
    s.background = kBackground;
    s.width = scene.width;
    s.height = scene.height;
    s.eyeZ = kEyeZ;
    s.nearPlane = kNear;
    s.farPlane = kFar;
    if (peer_.Init(s)) return true;
    std::fprintf(stderr, "irrlicht: cannot create a Burning's Video device\n");
    return false;
  }

  bool RenderFrame() override { return peer_.RenderFrame(); }
  void ReadImage(std::vector<std::uint32_t>& rgb) override { peer_.ReadImage(rgb); }

 private:
  irrlicht::Peer peer_;
};

}  // namespace

std::unique_ptr<SceneRenderer> MakeIrrlichtRenderer() { return std::make_unique<IrrlichtRenderer>(); }

}  // namespace kvbench

#else

namespace kvbench {
std::unique_ptr<SceneRenderer> MakeIrrlichtRenderer() { return nullptr; }
}  // namespace kvbench

#endif
