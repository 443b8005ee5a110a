// The reference scenes drawn directly through the software rasterizer's API,
// the way the engine's device feeds it: one draw per object per frame.
#include <cstdio>

#include "kvbench/Renderers.h"
#include "korvane3d/rm/raster/RasterMath.h"
#include "korvane3d/rm/raster/Rasterizer.h"

using namespace kv;

namespace kvbench {
namespace {

namespace kr = kv::raster;

class KorvaneRenderer final : public SceneRenderer {
 public:
  const char* Name() const override { return "korvane"; }

  bool Init(const BenchScene& scene) override {
    scene_ = &scene;
    const int w = scene.width, h = scene.height;
    pixels_.assign(static_cast<std::size_t>(w) * h, 0);
    target_ = {pixels_.data(), w, h, w * 4, kr::PixelFormat::Xrgb8888, kr::DepthFormat::Float32};
    view_.worldToCamera = kr::Translation(0, 0, -kEyeZ);
    kr::Projection& p = view_.projection;
    p.front = kNear;
    p.back = kFar;
    p.top = kTanHalfFov * kNear;
    p.bottom = -p.top;
    p.right = p.top * static_cast<float>(w) / static_cast<float>(h);
    p.left = -p.right;
    view_.viewport = {0, 0, w, h};

    lights_[0].type = kr::LightType::Ambient;
    lights_[0].color = {0.2f, 0.2f, 0.2f};
    lights_[1].type = kr::LightType::Directional;
    lights_[1].color = {1, 1, 1};
    lights_[1].direction = {0, -0.70710678f, 0.70710678f};
    state_.lights = lights_;
    state_.textureFilter = kr::TextureFilter::Linear;
    state_.dither = false;

    const BenchMesh& m = scene.mesh;
    draw_.mesh.positions = m.positions;
    draw_.mesh.normals = m.normals;
    draw_.mesh.uvs = m.uvs;
    draw_.mesh.indices = m.indices32;
    if (!scene.lit) draw_.mesh.vertexColors = m.colors;
    draw_.lighting = scene.lit;
    draw_.cull = kr::CullMode::CCW;
    if (scene.textured) {
      kr::TextureDesc desc;
      desc.width = desc.height = scene.textureSize;
      desc.pixels = scene.texture;
      kr::Result r = kr::Texture::Create(desc, texture_);
      if (!r) {
        std::fprintf(stderr, "korvane: texture: %s\n", r.message);
        return false;
      }
      draw_.texture = texture_;
    }
    std::fprintf(stderr, "korvane: %d threads, %s pixel code\n", raster_.ThreadCount(), raster_.KernelName());
    return true;
  }

  bool RenderFrame() override {
    kr::Result r = raster_.BeginFrame(target_, view_, state_);
    if (r) r = raster_.Clear(kr::kClearTarget | kr::kClearDepth, kBackground);
    for (const kr::Vec3& at : scene_->instances) {
      if (!r) break;
      draw_.modelToWorld = kr::Translation(at.x, at.y, at.z);
      r = raster_.Draw(draw_);
    }
    kr::Result end = raster_.EndFrame();
    if (!r || !end) {
      std::fprintf(stderr, "korvane: frame failed: %s\n", !r ? r.message : end.message);
      return false;
    }
    return true;
  }

  void ReadImage(std::vector<std::uint32_t>& rgb) override {
    rgb.resize(pixels_.size());
    for (std::size_t i = 0; i < pixels_.size(); ++i) rgb[i] = pixels_[i] & 0xffffff;
  }

 private:
  const BenchScene* scene_ = nullptr;
  kr::Rasterizer raster_;
  std::vector<std::uint32_t> pixels_;
  kr::Target target_;
  kr::View view_;
  kr::Light lights_[2];
  kr::FrameState state_;
  kr::DrawCall draw_;
  std::shared_ptr<const kr::Texture> texture_;
};

}  // namespace

std::unique_ptr<SceneRenderer> MakeKorvaneRenderer() { return std::make_unique<KorvaneRenderer>(); }

}  // namespace kvbench
