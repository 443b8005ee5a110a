// The reference scenes drawn through the retained-mode engine, the way an
// application builds them: one shared mesh builder, one frame per instance,
// lights on frames, a camera frame, a device on an off-screen surface of the
// headless display and a viewport. The device is the software one
// (korvane-rm) or the OpenGL one (korvane-hal, asked for with KV_DRIVER=hal
// so that it runs on Mesa's software GL too).
#include <cstdio>
#include <cstdlib>

#include "kvbench/Renderers.h"
#include "korvane3d/platform/ddraw/D3D.h"
#include "korvane3d/platform/ddraw/VirtualMonitor.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/rm/D3DRM.h"
#include "korvane3d/rm/DeviceInterfaces.h"
#include "korvane3d/rm/image/Image.h"

using namespace kv;

namespace kvbench {
namespace {

using kv::ComPtr;

bool Check(HRESULT hr, const char* what) {
  if (SUCCEEDED(hr)) return true;
  std::fprintf(stderr, "korvane-rm: %s failed (0x%08x)\n", what, static_cast<unsigned>(hr));
  return false;
}

DDSURFACEDESC2 SurfaceDesc(const BenchScene& scene, DWORD caps, DWORD flags, DWORD bits, DWORD r, DWORD g, DWORD b) {
  DDSURFACEDESC2 desc;
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.ddsCaps.dwCaps = caps;
  desc.dwWidth = static_cast<DWORD>(scene.width);
  desc.dwHeight = static_cast<DWORD>(scene.height);
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.ddpfPixelFormat.dwFlags = flags;
  if (flags == DDPF_ZBUFFER) {
    desc.ddpfPixelFormat.dwZBufferBitDepth = bits;
    desc.ddpfPixelFormat.dwZBitMask = 0xFFFFFFFF;
  } else {
    desc.ddpfPixelFormat.dwRGBBitCount = bits;
    desc.ddpfPixelFormat.dwRBitMask = r;
    desc.ddpfPixelFormat.dwGBitMask = g;
    desc.ddpfPixelFormat.dwBBitMask = b;
  }
  return desc;
}

class EngineRenderer final : public SceneRenderer {
 public:
  explicit EngineRenderer(bool hardware) : hardware_(hardware) {}
  const char* Name() const override { return hardware_ ? "korvane-hal" : "korvane-rm"; }

  bool Init(const BenchScene& scene) override {
    return InitDisplay(scene) && InitEngine() && BuildMesh(scene) && BuildScene(scene);
  }

  bool RenderFrame() override {
    return Check(viewport_->Clear(D3DRMCLEAR_ALL), "Clear") && Check(viewport_->Render(scene_.Get()), "Render") &&
           Check(device_->Update(), "Update");
  }

  void ReadImage(std::vector<std::uint32_t>& rgb) override { rgb = kv::ddraw::ReadSurfacePixels(target_.Get()).pixels; }

 private:
  bool InitDisplay(const BenchScene& scene) {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    if (hardware_) setenv("KV_DRIVER", "hal", 1);
    ComPtr<IDirectDraw> dd;
    if (!Check(DirectDrawCreate(nullptr, dd.ReleaseAndGetAddressOf(), nullptr), "DirectDrawCreate") ||
        !Check(dd.As(IID_IDirectDraw4, dd_), "IDirectDraw4") ||
        !Check(dd_->SetCooperativeLevel(nullptr, DDSCL_NORMAL), "SetCooperativeLevel"))
      return false;
    DDSURFACEDESC2 color = SurfaceDesc(scene, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY, DDPF_RGB, 32,
                                       0xFF0000, 0xFF00, 0xFF);
    DDSURFACEDESC2 depthDesc = SurfaceDesc(scene, DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY, DDPF_ZBUFFER, 32, 0, 0, 0);
    ComPtr<IDirectDrawSurface4> depth;
    ComPtr<IDirect3D3> d3d3;
    ComPtr<IDirect3DDevice3> device3;
    return Check(dd_->CreateSurface(&color, target_.ReleaseAndGetAddressOf(), nullptr), "target") &&
           Check(dd_->CreateSurface(&depthDesc, depth.ReleaseAndGetAddressOf(), nullptr), "depth") &&
           Check(target_->AddAttachedSurface(depth.Get()), "AddAttachedSurface") &&
           Check(dd_.As(IID_IDirect3D3, d3d3), "IDirect3D3") && Check(dd_.As(IID_IDirect3D2, d3d2_), "IDirect3D2") &&
           Check(d3d3->CreateDevice(hardware_ ? IID_IDirect3DHALDevice : IID_IDirect3DRGBDevice, target_.Get(),
                                    device3.ReleaseAndGetAddressOf(), nullptr),
                 "CreateDevice") &&
           Check(device3.As(IID_IDirect3DDevice2, d3dDevice_), "IDirect3DDevice2");
  }

  bool InitEngine() {
    ComPtr<IDirect3DRM> root;
    return Check(Direct3DRMCreate(root.ReleaseAndGetAddressOf()), "Direct3DRMCreate") &&
           Check(root.As(IID_IDirect3DRM3, root_), "IDirect3DRM3") &&
           Check(root_->CreateDeviceFromD3D(d3d2_.Get(), d3dDevice_.Get(), device_.ReleaseAndGetAddressOf()),
                 "CreateDeviceFromD3D") &&
           Check(device_->SetQuality(D3DRMRENDER_GOURAUD), "SetQuality") &&
           Check(device_->SetTextureQuality(D3DRMTEXTURE_LINEAR), "SetTextureQuality") &&
           Check(device_->SetDither(FALSE), "SetDither");
  }

  bool BuildMesh(const BenchScene& scene) {
    const BenchMesh& m = scene.mesh;
    if (!Check(root_->CreateMeshBuilder(builder_.ReleaseAndGetAddressOf()), "CreateMeshBuilder")) return false;
    std::vector<D3DVECTOR> positions, normals;
    for (const auto& p : m.positions) positions.push_back({p.x, p.y, p.z});
    for (const auto& n : m.normals) normals.push_back({n.x, n.y, n.z});
    std::vector<DWORD> faces;
    for (std::size_t i = 0; i + 2 < m.indices32.size(); i += 3) {
      faces.push_back(3);
      for (int k = 0; k < 3; ++k) {
        faces.push_back(m.indices32[i + k]);
        if (!normals.empty()) faces.push_back(m.indices32[i + k]);
      }
    }
    faces.push_back(0);
    if (!Check(builder_->AddFaces(static_cast<DWORD>(positions.size()), positions.data(),
                                  static_cast<DWORD>(normals.size()), normals.empty() ? nullptr : normals.data(),
                                  faces.data(), nullptr),
               "AddFaces"))
      return false;
    for (DWORD i = 0; i < m.uvs.size(); ++i) builder_->SetTextureCoordinates(i, m.uvs[i].u, m.uvs[i].v);
    if (!scene.lit) {
      for (DWORD i = 0; i < m.colors.size(); ++i) builder_->SetVertexColor(i, m.colors[i]);
      builder_->SetQuality(D3DRMSHADE_GOURAUD | D3DRMLIGHT_OFF | D3DRMFILL_SOLID);
    }
    builder_->SetPerspective(TRUE);
    if (scene.textured) {
      kv::image::Image image;
      image.width = image.height = scene.textureSize;
      image.pixels = scene.texture;
      ComPtr<IDirect3DRMTexture3> texture;
      if (!Check(root_->CreateTextureFromImage(image, texture.ReleaseAndGetAddressOf()), "CreateTextureFromImage") ||
          !Check(builder_->SetTexture(texture.Get()), "SetTexture"))
        return false;
    }
    return true;
  }

  bool BuildScene(const BenchScene& scene) {
    if (!Check(root_->CreateFrame(nullptr, scene_.ReleaseAndGetAddressOf()), "CreateFrame")) return false;
    scene_->SetSceneBackground(0xff000000 | kBackground);
    for (const auto& at : scene.instances) {
      ComPtr<IDirect3DRMFrame3> frame;
      if (!Check(root_->CreateFrame(scene_.Get(), frame.ReleaseAndGetAddressOf()), "CreateFrame") ||
          !Check(frame->SetPosition(scene_.Get(), at.x, at.y, at.z), "SetPosition") ||
          !Check(frame->AddVisual(builder_.Get()), "AddVisual"))
        return false;
    }
    ComPtr<IDirect3DRMLight> ambient, sun;
    ComPtr<IDirect3DRMFrame3> sunFrame, camera;
    const float top = kTanHalfFov * kNear, right = top * static_cast<float>(scene.width) / static_cast<float>(scene.height);
    return Check(root_->CreateLightRGB(D3DRMLIGHT_AMBIENT, 0.2f, 0.2f, 0.2f, ambient.ReleaseAndGetAddressOf()),
                 "ambient") &&
           Check(scene_->AddLight(ambient.Get()), "AddLight") &&
           Check(root_->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 1, 1, 1, sun.ReleaseAndGetAddressOf()), "sun") &&
           Check(root_->CreateFrame(scene_.Get(), sunFrame.ReleaseAndGetAddressOf()), "sun frame") &&
           Check(sunFrame->SetOrientation(scene_.Get(), 0, -0.70710678f, 0.70710678f, 0, 0.70710678f, 0.70710678f),
                 "SetOrientation") &&
           Check(sunFrame->AddLight(sun.Get()), "AddLight") &&
           Check(root_->CreateFrame(scene_.Get(), camera.ReleaseAndGetAddressOf()), "camera") &&
           Check(camera->SetPosition(scene_.Get(), 0, 0, kEyeZ), "camera position") &&
           Check(root_->CreateViewport(device_.Get(), camera.Get(), 0, 0, static_cast<DWORD>(scene.width),
                                       static_cast<DWORD>(scene.height),
                                       viewport_.ReleaseAndGetAddressOf()),
                 "CreateViewport") &&
           Check(viewport_->SetBack(kFar), "SetBack") && Check(viewport_->SetFront(kNear), "SetFront") &&
           Check(viewport_->SetPlane(-right, right, -top, top), "SetPlane");
  }

  bool hardware_;
  ComPtr<IDirectDraw4> dd_;
  ComPtr<IDirectDrawSurface4> target_;
  ComPtr<IDirect3D2> d3d2_;
  ComPtr<IDirect3DDevice2> d3dDevice_;
  ComPtr<IDirect3DRM3> root_;
  ComPtr<IDirect3DRMDevice3> device_;
  ComPtr<IDirect3DRMMeshBuilder3> builder_;
  ComPtr<IDirect3DRMFrame3> scene_;
  ComPtr<IDirect3DRMViewport2> viewport_;
};

}  // namespace

std::unique_ptr<SceneRenderer> MakeEngineRenderer(bool hardware) { return std::make_unique<EngineRenderer>(hardware); }

}  // namespace kvbench
