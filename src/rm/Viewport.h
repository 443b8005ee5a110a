// Viewports: a rectangle of a device seen from a camera frame, with its
// projection (front and back planes, view window, perspective or
// orthographic, uniform scaling). Clear, Render, Pick and the conversions
// between world points and device pixels.
#pragma once

#include "korvane3d/rm/Device.h"
#include "korvane3d/rm/Frame.h"

namespace kv::rm {

struct ViewportProjection {
  float front = 1.0f, back = 100.0f;
  float left = -0.5f, right = 0.5f, bottom = -0.5f, top = 0.5f;
  D3DRMPROJECTIONTYPE type = D3DRMPROJECT_PERSPECTIVE;
  bool uniformScaling = true;
};

class Viewport final : public ObjectImpl<IDirect3DRMViewport2> {
 public:
  static HRESULT Create(Device* device, Frame* camera, DWORD x, DWORD y, DWORD width, DWORD height,
                        ComPtr<Viewport>& out);

  HRESULT QueryInterface(REFIID iid, void** out) override;

  HRESULT Clear(DWORD flags) override;
  HRESULT Render(IDirect3DRMFrame3* scene) override;
  HRESULT Pick(LONG x, LONG y, IDirect3DRMPickedArray** picked) override;
  HRESULT Transform(D3DRMVECTOR4D* screen, D3DVECTOR* world) override;
  HRESULT InverseTransform(D3DVECTOR* world, D3DRMVECTOR4D* screen) override;
  HRESULT SetBack(D3DVALUE back) override;
  D3DVALUE GetBack() override;
  HRESULT SetFront(D3DVALUE front) override;
  D3DVALUE GetFront() override;
  HRESULT SetField(D3DVALUE field) override;
  D3DVALUE GetField() override;
  HRESULT SetPlane(D3DVALUE left, D3DVALUE right, D3DVALUE bottom, D3DVALUE top) override;
  HRESULT GetPlane(D3DVALUE* left, D3DVALUE* right, D3DVALUE* bottom, D3DVALUE* top) override;
  HRESULT SetProjection(D3DRMPROJECTIONTYPE type) override;
  D3DRMPROJECTIONTYPE GetProjection() override;
  HRESULT SetUniformScaling(BOOL uniform) override;
  BOOL GetUniformScaling() override;
  HRESULT SetCamera(IDirect3DRMFrame3* camera) override;
  HRESULT GetCamera(IDirect3DRMFrame3** camera) override;
  HRESULT GetDevice(IDirect3DRMDevice3** device) override;
  LONG GetX() override { return x_; }
  LONG GetY() override { return y_; }
  DWORD GetWidth() override { return width_; }
  DWORD GetHeight() override { return height_; }

 private:
  Viewport() = default;
  ~Viewport() override = default;
  const char* ClassName() const override { return "Viewport"; }
  // The rasterizer's view of the camera; false when the camera's matrix
  // cannot be inverted. With the engine lock held.
  bool MakeView(kv::raster::View& view) const;
  bool Empty() const { return width_ == 0 || height_ == 0; }

  ComPtr<Device> device_;
  ComPtr<Frame> camera_;
  LONG x_ = 0, y_ = 0;
  DWORD width_ = 0, height_ = 0;
  ViewportProjection projection_;
};

}  // namespace kv::rm
