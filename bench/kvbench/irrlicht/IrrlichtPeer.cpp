// The reference scenes through Irrlicht's software renderer, Burning's Video,
// on its console device (no window). Built as an application would: one mesh,
// one mesh scene node per instance, a camera node, a directional light node
// and 0.2 global ambient. A frame is beginScene + drawAll: Burning's Video
// draws synchronously into its back buffer; presenting it (endScene) is not
// part of a frame.
#include "IrrlichtPeer.h"

#include <fcntl.h>
#include <irrlicht/irrlicht.h>
#include <unistd.h>

#include <cstdio>

namespace kvbench::irrlicht {
namespace {

namespace is = irr::scene;
namespace iv = irr::video;
using irr::core::vector3df;

// Irrlicht objects are reference counted: made with new or create*, let go with drop().
struct Dropper {
  void operator()(irr::IReferenceCounted* object) const { object->drop(); }
};
template <typename T>
using Owned = std::unique_ptr<T, Dropper>;

// The console device writes terminal control codes to standard output when
// it starts and ends (a reset, line-wrap off); they would clear a terminal
// and break kvbench's CSV. This sends them to /dev/null.
class QuietStdout {
 public:
  QuietStdout() {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) return;
    saved_ = dup(STDOUT_FILENO);
    if (saved_ >= 0) dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    if (saved_ < 0) return;
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int saved_ = -1;
};

irr::core::dimension2d<irr::u32> Size(int width, int height) {
  return {static_cast<irr::u32>(width), static_cast<irr::u32>(height)};
}

}  // namespace

struct Peer::Impl {
  Owned<irr::IrrlichtDevice> device;
  iv::IVideoDriver* driver = nullptr;  // owned by the device
  is::ISceneManager* scene = nullptr;
  iv::SColor background;
  int width = 0, height = 0;

  Owned<is::SMesh> BuildMesh(const PeerScene& s) {
    Owned<is::SMeshBuffer> buffer(new is::SMeshBuffer);
    for (std::size_t i = 0; i < s.vertexCount; ++i) {
      const float* p = s.positions + 3 * i;
      const float* n = s.normals + 3 * i;
      const float* t = s.uvs + 2 * i;
      buffer->Vertices.push_back(iv::S3DVertex(vector3df(p[0], p[1], p[2]), vector3df(n[0], n[1], n[2]),
                                               iv::SColor(s.colors ? s.colors[i] : 0xffffffffu),
                                               irr::core::vector2df(t[0], t[1])));
    }
    for (std::size_t i = 0; i < s.indexCount; ++i) buffer->Indices.push_back(s.indices[i]);
    buffer->recalculateBoundingBox();
    iv::SMaterial& m = buffer->Material;
    m.Lighting = s.lit;
    m.AmbientColor = iv::SColor(255, 255, 255, 255);
    m.DiffuseColor = iv::SColor(255, 255, 255, 255);
    m.SpecularColor = iv::SColor(255, 0, 0, 0);
    m.EmissiveColor = iv::SColor(255, 0, 0, 0);
    m.Shininess = 0;
    // Lit: the material's white, not the vertex colour; unlit: the vertex colour.
    m.ColorMaterial = s.lit ? iv::ECM_NONE : iv::ECM_DIFFUSE;
    m.BackfaceCulling = true;
    m.ZBuffer = iv::ECFN_LESSEQUAL;
    if (s.textured) {
      Owned<iv::IImage> image(driver->createImage(iv::ECF_A8R8G8B8, Size(s.textureSize, s.textureSize)));
      for (int y = 0; y < s.textureSize; ++y)
        for (int x = 0; x < s.textureSize; ++x)
          image->setPixel(static_cast<irr::u32>(x), static_cast<irr::u32>(y),
                          iv::SColor(s.texture[static_cast<std::size_t>(y) * s.textureSize + x]));
      m.setTexture(0, driver->addTexture("checker", image.get()));
      m.TextureLayer[0].BilinearFilter = true;
      m.TextureLayer[0].TrilinearFilter = false;
      m.TextureLayer[0].TextureWrapU = iv::ETC_REPEAT;
      m.TextureLayer[0].TextureWrapV = iv::ETC_REPEAT;
    }
    Owned<is::SMesh> mesh(new is::SMesh);
    mesh->addMeshBuffer(buffer.get());
    mesh->recalculateBoundingBox();
    return mesh;
  }

  bool Build(const PeerScene& s) {
    Owned<is::SMesh> mesh = BuildMesh(s);
    for (std::size_t i = 0; i < s.instanceCount; ++i) {
      const float* at = s.instances + 3 * i;
      is::IMeshSceneNode* node = scene->addMeshSceneNode(mesh.get(), nullptr, -1, vector3df(at[0], at[1], at[2]));
      if (!node) return false;
      node->setMaterialFlag(iv::EMF_LIGHTING, s.lit);
    }
    is::ICameraSceneNode* camera = scene->addCameraSceneNode(nullptr, vector3df(0, 0, s.eyeZ), vector3df(0, 0, 0));
    if (!camera) return false;
    camera->setFOV(s.verticalFov);
    camera->setAspectRatio(static_cast<float>(s.width) / static_cast<float>(s.height));
    camera->setNearValue(s.nearPlane);
    camera->setFarValue(s.farPlane);
    if (s.lit) {
      scene->setAmbientLight(iv::SColorf(0.2f, 0.2f, 0.2f));
      is::ILightSceneNode* sun = scene->addLightSceneNode();
      if (!sun) return false;
      iv::SLight& light = sun->getLightData();
      light.Type = iv::ELT_DIRECTIONAL;
      light.DiffuseColor = iv::SColorf(1, 1, 1);
      light.AmbientColor = iv::SColorf(0, 0, 0);
      light.SpecularColor = iv::SColorf(0, 0, 0);
      // The node's +z, turned: the light travels along (0, -1, 1)/sqrt(2).
      sun->setRotation(vector3df(0, -1, 1).getHorizontalAngle());
    }
    return true;
  }
};

Peer::Peer() : impl_(std::make_unique<Impl>()) {}

Peer::~Peer() {
  QuietStdout quiet;
  impl_.reset();
}

bool Peer::Init(const PeerScene& s) {
  irr::SIrrlichtCreationParameters p;
  p.DeviceType = irr::EIDT_CONSOLE;
  p.DriverType = iv::EDT_BURNINGSVIDEO;
  p.WindowSize = Size(s.width, s.height);
  p.Bits = 32;
  p.ZBufferBits = 32;
  p.LoggingLevel = irr::ELL_NONE;
  {
    QuietStdout quiet;
    impl_->device.reset(irr::createDeviceEx(p));
  }
  if (!impl_->device) return false;
  impl_->driver = impl_->device->getVideoDriver();
  impl_->scene = impl_->device->getSceneManager();
  if (!impl_->driver || !impl_->scene) return false;
  impl_->driver->setTextureCreationFlag(iv::ETCF_CREATE_MIP_MAPS, false);
  impl_->driver->setTextureCreationFlag(iv::ETCF_ALWAYS_32_BIT, true);
  impl_->background = iv::SColor(255, (s.background >> 16) & 255, (s.background >> 8) & 255, s.background & 255);
  impl_->width = s.width;
  impl_->height = s.height;
  return impl_->Build(s);
}

bool Peer::RenderFrame() {
  if (!impl_->driver->beginScene(true, true, impl_->background)) return false;
  impl_->scene->drawAll();
  return true;
}

void Peer::ReadImage(std::vector<std::uint32_t>& rgb) {
  const int w = impl_->width, h = impl_->height;
  rgb.assign(static_cast<std::size_t>(w) * h, 0);
  Owned<iv::IImage> shot(impl_->driver->createScreenShot());
  if (!shot) return;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      rgb[static_cast<std::size_t>(y) * w + x] =
          shot->getPixel(static_cast<irr::u32>(x), static_cast<irr::u32>(y)).color & 0xffffffu;
}

}  // namespace kvbench::irrlicht
