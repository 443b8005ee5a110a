// The clipper behind IDirectDrawClipper: a window whose client area limits
// Blt onto the primary surface. Internal to the display layer.
#pragma once

#include <atomic>

#include "korvane3d/platform/ddraw/DDraw.h"

namespace kv::ddraw {

class ClipperImpl final : public IDirectDrawClipper, public RefCount {
 public:
  ClipperImpl() = default;
  static ClipperImpl* From(IDirectDrawClipper* clipper);

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }
  HRESULT SetHWnd(DWORD flags, HWND window) override;
  HRESULT GetHWnd(HWND* window) override;

  HWND Window() const { return window_.load(std::memory_order_acquire); }

 private:
  ~ClipperImpl() override = default;
  std::atomic<HWND> window_{nullptr};
};

}  // namespace kv::ddraw
