#include "korvane3d/rm/Viewport.h"

#include <cmath>

#include "korvane3d/rm/Pick.h"
#include "korvane3d/rm/Root.h"
#include "korvane3d/rm/raster/Projection.h"

namespace kv::rm {

namespace kr = kv::raster;

HRESULT Root::CreateViewport(IDirect3DRMDevice3* device, IDirect3DRMFrame3* camera, DWORD x, DWORD y, DWORD width,
                             DWORD height, IDirect3DRMViewport2** viewport) {
  if (!viewport) return D3DRMERR_BADVALUE;
  *viewport = nullptr;
  Device* d = device ? Device::From(device) : nullptr;
  Frame* c = camera ? Frame::From(camera) : nullptr;
  if (!d || !c) return D3DRMERR_BADOBJECT;
  ComPtr<Viewport> created;
  HRESULT hr = Viewport::Create(d, c, x, y, width, height, created);
  if (FAILED(hr)) return hr;
  *viewport = created.Detach();
  return D3DRM_OK;
}

HRESULT Viewport::Create(Device* device, Frame* camera, DWORD x, DWORD y, DWORD width, DWORD height,
                         ComPtr<Viewport>& out) {
  // The rectangle must lie on the device (64-bit sums: no wrap-around).
  if (std::uint64_t{x} + width > device->GetWidth() || std::uint64_t{y} + height > device->GetHeight())
    return D3DRMERR_BADVALUE;
  ComPtr<Viewport> v = ComPtr<Viewport>::Adopt(new Viewport);
  v->device_ = ComPtr<Device>(device);
  v->camera_ = ComPtr<Frame>(camera);
  v->x_ = static_cast<LONG>(x);
  v->y_ = static_cast<LONG>(y);
  v->width_ = width;
  v->height_ = height;
  out = std::move(v);
  return D3DRM_OK;
}

HRESULT Viewport::QueryInterface(REFIID iid, void** out) {
  return AnswerQuery(iid, out, {IID_IDirect3DRMObject, IID_IDirect3DRMViewport, IID_IDirect3DRMViewport2},
                     static_cast<IDirect3DRMViewport2*>(this));
}

bool Viewport::MakeView(kr::View& view) const {
  Mat4 cameraToWorld = camera_->WorldMatrix(), worldToCamera;
  if (!InvertAffine(cameraToWorld, worldToCamera)) return false;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) view.worldToCamera.m[i][j] = worldToCamera.m[i][j];
  const ViewportProjection& p = projection_;
  kr::Projection& rp = view.projection;
  rp.type = (p.type == D3DRMPROJECT_ORTHOGRAPHIC || p.type == D3DRMPROJECT_RIGHTHANDORTHOGRAPHIC)
                ? kr::ProjectionType::Orthographic
                : kr::ProjectionType::Perspective;
  rp.front = p.front;
  rp.back = p.back;
  rp.left = p.left;
  rp.right = p.right;
  rp.bottom = p.bottom;
  rp.top = p.top;
  rp.uniformScaling = p.uniformScaling;
  rp.rightHanded = p.type >= D3DRMPROJECT_RIGHTHANDPERSPECTIVE || device_->Owner()->RightHanded();
  view.viewport = {x_, y_, static_cast<int>(width_), static_cast<int>(height_)};
  return true;
}

namespace {

struct ClearWork {
  std::uint32_t flags;
  std::uint32_t color;
  std::shared_ptr<const kr::Texture> background;
};

struct RenderWork {
  Frame* scene;
  const SceneLighting* lighting;
  Device* device;
};

}  // namespace

HRESULT Viewport::Clear(DWORD flags) {
  EngineLock lock;
  if (Empty()) return D3DRM_OK;
  kr::View view;
  if (!MakeView(view)) return D3DRMERR_BADVALUE;
  ClearWork work{0, 0, nullptr};
  if (flags & D3DRMCLEAR_TARGET) work.flags |= kr::kClearTarget;
  if (flags & D3DRMCLEAR_ZBUFFER) work.flags |= kr::kClearDepth;
  if (!work.flags) return D3DRM_OK;
  const SceneSettings& scene = camera_->SceneRoot()->Scene();
  work.color = scene.background & 0xffffff;
  if (scene.backgroundImage) work.background = device_->Cache().TextureFor(Texture::From(scene.backgroundImage.Get()));
  kr::FrameState state;
  return device_->DrawFrame(view, state,
                            [](void* c, kr::Rasterizer& raster) {
                              auto* w = static_cast<ClearWork*>(c);
                              return raster.Clear(w->flags, w->color, w->background);
                            },
                            &work);
}

HRESULT Viewport::Render(IDirect3DRMFrame3* sceneInterface) {
  Frame* scene = sceneInterface ? Frame::From(sceneInterface) : nullptr;
  if (!scene) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  if (Empty()) return D3DRM_OK;
  kr::View view;
  if (!MakeView(view)) return D3DRMERR_BADVALUE;
  const DeviceSettings& settings = device_->Settings();
  SceneLighting lighting = GatherLights(*scene);
  kr::FrameState state;
  state.textureFilter = static_cast<kr::TextureFilter>(settings.textureQuality);
  state.renderMode = settings.renderMode;
  state.dither = settings.dither;
  state.fog = FogOf(scene->SceneRoot()->Scene());
  state.lights = lighting.lights;
  RenderWork work{scene, &lighting, device_.Get()};
  return device_->DrawFrame(view, state,
                            [](void* c, kr::Rasterizer& raster) {
                              auto* w = static_cast<RenderWork*>(c);
                              return DrawScene(*w->scene, *w->lighting, w->device->Settings(), w->device->Cache(),
                                               raster);
                            },
                            &work);
}

HRESULT Viewport::Pick(LONG x, LONG y, IDirect3DRMPickedArray** picked) {
  if (!picked) return D3DRMERR_BADVALUE;
  *picked = nullptr;
  EngineLock lock;
  kr::View view;
  if (!MakeView(view)) return D3DRMERR_BADVALUE;
  std::vector<PickHit> hits;
  if (!Empty() && x >= x_ && y >= y_ && x < x_ + static_cast<LONG>(width_) && y < y_ + static_cast<LONG>(height_)) {
    const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
    kr::Vec3 nearPoint, farPoint;
    if (kr::InverseTransformFromScreen(view, {px, py, 0, 1}, nearPoint) &&
        kr::InverseTransformFromScreen(view, {px, py, 1, 1}, farPoint)) {
      PickRay ray{{nearPoint.x, nearPoint.y, nearPoint.z},
                  {farPoint.x - nearPoint.x, farPoint.y - nearPoint.y, farPoint.z - nearPoint.z}};
      hits = PickScene(*camera_->SceneRoot(), ray);
    }
  }
  *picked = MakePickedArray(std::move(hits)).Detach();
  return D3DRM_OK;
}

HRESULT Viewport::Transform(D3DRMVECTOR4D* screen, D3DVECTOR* world) {
  if (!screen || !world) return D3DRMERR_BADVALUE;
  EngineLock lock;
  kr::View view;
  if (!MakeView(view)) return D3DRMERR_BADVALUE;
  kr::Vec4 s = kr::TransformToScreen(view, {world->x, world->y, world->z});
  *screen = {s.x, s.y, s.z, s.w};
  return D3DRM_OK;
}

HRESULT Viewport::InverseTransform(D3DVECTOR* world, D3DRMVECTOR4D* screen) {
  if (!screen || !world) return D3DRMERR_BADVALUE;
  EngineLock lock;
  kr::View view;
  kr::Vec3 w;
  if (!MakeView(view) || !kr::InverseTransformFromScreen(view, {screen->x, screen->y, screen->z, screen->w}, w))
    return D3DRMERR_BADVALUE;
  *world = {w.x, w.y, w.z};
  return D3DRM_OK;
}

HRESULT Viewport::SetBack(D3DVALUE back) {
  EngineLock lock;
  if (!std::isfinite(back) || back <= projection_.front) return D3DRMERR_BADVALUE;
  projection_.back = back;
  return D3DRM_OK;
}
D3DVALUE Viewport::GetBack() {
  EngineLock lock;
  return projection_.back;
}

HRESULT Viewport::SetFront(D3DVALUE front) {
  EngineLock lock;
  if (!std::isfinite(front) || front <= 0) return D3DRMERR_BADVALUE;
  // The back plane must stay behind the front one.
  if (front >= projection_.back) return D3DRMERR_BADVALUE;
  projection_.front = front;
  return D3DRM_OK;
}
D3DVALUE Viewport::GetFront() {
  EngineLock lock;
  return projection_.front;
}

HRESULT Viewport::SetField(D3DVALUE field) {
  if (!std::isfinite(field) || field <= 0) return D3DRMERR_BADVALUE;
  EngineLock lock;
  projection_.left = projection_.bottom = -field;
  projection_.right = projection_.top = field;
  return D3DRM_OK;
}
D3DVALUE Viewport::GetField() {
  EngineLock lock;
  const ViewportProjection& p = projection_;
  return ((p.right - p.left) + (p.top - p.bottom)) / 4;
}

HRESULT Viewport::SetPlane(D3DVALUE left, D3DVALUE right, D3DVALUE bottom, D3DVALUE top) {
  if (!std::isfinite(left) || !std::isfinite(right) || !std::isfinite(bottom) || !std::isfinite(top))
    return D3DRMERR_BADVALUE;
  EngineLock lock;
  projection_.left = left;
  projection_.right = right;
  projection_.bottom = bottom;
  projection_.top = top;
  return D3DRM_OK;
}
HRESULT Viewport::GetPlane(D3DVALUE* left, D3DVALUE* right, D3DVALUE* bottom, D3DVALUE* top) {
  if (!left || !right || !bottom || !top) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *left = projection_.left;
  *right = projection_.right;
  *bottom = projection_.bottom;
  *top = projection_.top;
  return D3DRM_OK;
}

HRESULT Viewport::SetProjection(D3DRMPROJECTIONTYPE type) {
  if (type > D3DRMPROJECT_RIGHTHANDORTHOGRAPHIC) return D3DRMERR_BADVALUE;
  EngineLock lock;
  projection_.type = type;
  return D3DRM_OK;
}
D3DRMPROJECTIONTYPE Viewport::GetProjection() {
  EngineLock lock;
  return projection_.type;
}

HRESULT Viewport::SetUniformScaling(BOOL uniform) {
  EngineLock lock;
  projection_.uniformScaling = uniform != FALSE;
  return D3DRM_OK;
}
BOOL Viewport::GetUniformScaling() {
  EngineLock lock;
  return projection_.uniformScaling ? TRUE : FALSE;
}

HRESULT Viewport::SetCamera(IDirect3DRMFrame3* camera) {
  Frame* c = camera ? Frame::From(camera) : nullptr;
  if (!c) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  camera_ = ComPtr<Frame>(c);
  return D3DRM_OK;
}
HRESULT Viewport::GetCamera(IDirect3DRMFrame3** camera) {
  EngineLock lock;
  return HandOut<IDirect3DRMFrame3>(camera_.Get(), camera);
}
HRESULT Viewport::GetDevice(IDirect3DRMDevice3** device) {
  EngineLock lock;
  return HandOut<IDirect3DRMDevice3>(device_.Get(), device);
}

}  // namespace kv::rm
