#include "korvane3d/platform/ddraw/Clipper.h"

namespace kv::ddraw {

ClipperImpl* ClipperImpl::From(IDirectDrawClipper* clipper) { return dynamic_cast<ClipperImpl*>(clipper); }

HRESULT ClipperImpl::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDirectDrawClipper) {
    *object = static_cast<IDirectDrawClipper*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

HRESULT ClipperImpl::SetHWnd(DWORD flags, HWND window) {
  if (flags != 0) return DDERR_INVALIDPARAMS;
  window_.store(window, std::memory_order_release);
  return DD_OK;
}

HRESULT ClipperImpl::GetHWnd(HWND* window) {
  if (!window) return DDERR_INVALIDPARAMS;
  *window = Window();
  return DD_OK;
}

}  // namespace kv::ddraw
