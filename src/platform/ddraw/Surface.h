// The surface object behind IDirectDrawSurface4. Internal to the display
// layer.
//
// Lock order: the display's registry lock, then surface locks (two at a
// time only through std::scoped_lock). Nothing that holds a surface lock
// takes the registry lock, and references are dropped only after the locks
// are released (a dying surface takes the registry lock).
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>

#include "korvane3d/platform/ddraw/Blit.h"
#include "korvane3d/platform/ddraw/DDraw.h"
#include "korvane3d/platform/ddraw/Display.h"
#include "korvane3d/platform/ddraw/PixelFormat.h"
#include "korvane3d/platform/ddraw/RenderTarget.h"

namespace kv::ddraw {

class ClipperImpl;
class DirectDrawObject;
class GlContext;


// Zeroed surface memory: 64-byte aligned, rows padded to 16 bytes.
class SurfaceBuffer {
 public:
  // DDERR_TOOBIGSIZE past a sane size, DDERR_OUTOFMEMORY when it cannot be had.
  static HRESULT Allocate(int width, int height, Format format, SurfaceBuffer* out);
  std::byte* Data() const { return bytes_.get(); }
  int Pitch() const { return pitch_; }
  void Clear();
  void Swap(SurfaceBuffer& other) noexcept;

 private:
  struct Free {
    void operator()(std::byte* p) const;
  };
  std::unique_ptr<std::byte[], Free> bytes_;
  int pitch_ = 0;
  std::size_t size_ = 0;
};

enum class SurfaceRole { OffScreen, Primary, FlipFront, BackBuffer, Depth };

// What CreateSurface decided, after validation.
struct SurfacePlan {
  SurfaceRole role = SurfaceRole::OffScreen;
  int width = 0;
  int height = 0;
  Format format = Format::Xrgb8888;
  bool videoMemory = false;
  DWORD extraCaps = 0;           // DDSCAPS_3DDEVICE, DDSCAPS_OFFSCREENPLAIN as asked
  DisplayModeInfo mode;          // the display mode at creation
};

class SurfaceImpl final : public IDirectDrawSurface4, public RefCount {
 public:
  // The surface (for a flipping front, with its back buffer); one reference
  // for the caller.
  static HRESULT Create(DirectDrawObject* owner, const SurfacePlan& plan, SurfaceImpl** out);
  static SurfaceImpl* From(IDirectDrawSurface4* surface);

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  HRESULT Blt(RECT* destRect, IDirectDrawSurface4* src, RECT* srcRect, DWORD flags, DDBLTFX* fx) override;
  HRESULT Flip(IDirectDrawSurface4* override, DWORD flags) override;
  HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** attached) override;
  HRESULT AddAttachedSurface(IDirectDrawSurface4* attached) override;
  HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface4* attached) override;
  HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
  HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) override;
  HRESULT Unlock(RECT* rect) override;
  HRESULT GetDC(HDC* dc) override;
  HRESULT ReleaseDC(HDC dc) override;
  HRESULT IsLost() override;
  HRESULT Restore() override;
  HRESULT SetClipper(IDirectDrawClipper* clipper) override;
  HRESULT GetClipper(IDirectDrawClipper** clipper) override;

  // For the display, the DirectDraw object and the device.
  const DirectDrawObject* Owner() const;
  SurfaceRole Role() const { return spec_.role; }
  Format PixelFormat() const { return spec_.format; }
  bool InVideoMemory() const { return spec_.videoMemory; }
  bool HasDepthInVideoMemory();
  DWORD Caps() const;
  // Marks the surface (and a flipping front's back buffer) lost. Atomic
  // only, so the display may call it under its registry lock.
  void MarkLost();
  bool LosesMemoryOnModeChange() const;
  // Restore with the display's state given, for RestoreAllSurfaces (which
  // runs under the registry lock).
  HRESULT RestoreKnowing(const DisplayModeInfo& current, bool ownerExclusive);
  PixelImage ReadPixels();
  // The hardware device drawing for a window keeps this surface's picture in
  // context: memory is brought up to date from it before it is read (Lock,
  // GetDC, Blt from here, ReadPixels) and written back after the CPU wrote
  // (Unlock, ReleaseDC, Blt into here). A lost context loses the surface.
  // A flip chain's front follows its back buffer's full-screen context from
  // the first flip on, holding the frame the flip showed.
  void FollowGlPicture(std::shared_ptr<GlContext> context);

  // For RenderTargetLock: the device's lock of the whole surface, which
  // hands over the fill the surface holds undone (ColorFill) instead of
  // doing it; the unlock that leaves `fill` undone (none: nothing); and a
  // fill done now by the lock's holder.
  HRESULT LockTakingFill(DDSURFACEDESC2* desc, std::optional<ColorFill>* fill);
  HRESULT UnlockLeavingFill(std::optional<ColorFill> fill);
  void FillLocked(const ColorFill& fill);

 private:
  SurfaceImpl(DirectDrawObject* owner, const SurfacePlan& plan);
  ~SurfaceImpl() override;

  PixelView View() const;
  bool Busy() const { return locked_ || dc_ != nullptr; }
  void FillDesc(DDSURFACEDESC2* desc) const;
  HRESULT CheckUsable() const;  // lost, busy; needs mutex_
  // Does the fill left undone, before any other access to the pixels;
  // needs mutex_.
  void FinishPendingFill();
  // Brings the memory up to what the surface shows before the CPU reads
  // it: a window context's picture read back, then the pending fill done
  // (in that order: the fill belongs over the picture). Needs mutex_.
  void MakeMemoryCurrent();
  HRESULT LockArea(RECT* rect, DDSURFACEDESC2* desc);  // needs mutex_
  HRESULT BltLocked(const RECT& dest, SurfaceImpl* src, const RECT* srcRect, DWORD fill,
                    HWND window);
  void PresentFullScreen(HWND window);
  // Flip by exchanging memory (the back buffer's frame shown by a copy);
  // needs both surfaces' mutex_.
  void FlipMemoryLocked();
  // The back buffer's full-screen context, followed from now on, or null
  // when the chain flips its memory; needs both surfaces' mutex_.
  std::shared_ptr<GlContext> FullScreenContextLocked();
  bool GlLost() const;
  // These need mutex_ held.
  void ReadGlPictureLocked();
  void UploadGlPictureLocked();

  kv::ComPtr<DirectDrawObject> owner_;  // keeps the DirectDraw object alive
  const SurfacePlan spec_;
  mutable std::mutex mutex_;
  std::atomic<bool> lost_{false};
  SurfaceBuffer memory_;
  kv::ComPtr<SurfaceImpl> backBuffer_;  // a flipping front's implicit back buffer; set once
  kv::ComPtr<SurfaceImpl> depth_;       // explicitly attached depth buffer
  kv::ComPtr<ClipperImpl> clipper_;
  bool locked_ = false;
  bool lockedForCpu_ = false;  // locked by anyone but the device
  HDC dc_ = nullptr;
  std::optional<ColorFill> pendingFill_;  // within the surface's bounds
  std::shared_ptr<GlContext> gl_;  // set before the device draws (a front: at a flip)
  std::uint64_t glHeld_ = 0;       // which of gl_'s images the memory holds (GlContext::ReadPicture)
};

}  // namespace kv::ddraw
