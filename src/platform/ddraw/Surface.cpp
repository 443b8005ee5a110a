#include "korvane3d/platform/ddraw/Surface.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "korvane3d/platform/ddraw/Clipper.h"
#include "korvane3d/platform/ddraw/DirectDrawObject.h"
#include "korvane3d/platform/ddraw/GlContext.h"
#include "korvane3d/platform/win/Gdi.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv::ddraw {

// ---- SurfaceBuffer ----------------------------------------------------------

namespace {
constexpr std::size_t kAlignment = 64;
// Larger surfaces are refused rather than risking the machine's memory: the
// pixels of the largest window (WinApi.h) at 32 bits each.
constexpr std::size_t kMaxSurfaceBytes = static_cast<std::size_t>(kMaxWindowPixels) * 4;
}  // namespace

void SurfaceBuffer::Free::operator()(std::byte* p) const { ::operator delete[](p, std::align_val_t{kAlignment}); }

HRESULT SurfaceBuffer::Allocate(int width, int height, Format format, SurfaceBuffer* out) {
  const std::size_t row = static_cast<std::size_t>(width) * BytesPerPixel(format);
  const std::size_t pitch = (row + 15) & ~std::size_t{15};
  const std::size_t size = pitch * static_cast<std::size_t>(height);
  if (size > kMaxSurfaceBytes) return DDERR_TOOBIGSIZE;
  auto* p = static_cast<std::byte*>(::operator new[](size, std::align_val_t{kAlignment}, std::nothrow));
  if (!p) return DDERR_OUTOFMEMORY;
  std::memset(p, 0, size);
  out->bytes_.reset(p);
  out->pitch_ = static_cast<int>(pitch);
  out->size_ = size;
  return DD_OK;
}

void SurfaceBuffer::Clear() {
  if (bytes_) std::memset(bytes_.get(), 0, size_);
}

void SurfaceBuffer::Swap(SurfaceBuffer& other) noexcept {
  std::swap(bytes_, other.bytes_);
  std::swap(pitch_, other.pitch_);
  std::swap(size_, other.size_);
}

// ---- Life ---------------------------------------------------------------------

SurfaceImpl::SurfaceImpl(DirectDrawObject* owner, const SurfacePlan& plan) : owner_(owner), spec_(plan) {}

SurfaceImpl::~SurfaceImpl() {
  // First leave the registry, so nobody reaches this surface any more.
  Display::Instance().Unregister(this);
  if (dc_) DeleteDC(dc_);
  if (spec_.role == SurfaceRole::Primary || spec_.role == SurfaceRole::FlipFront) owner_->PrimaryGone(this);
}

HRESULT SurfaceImpl::Create(DirectDrawObject* owner, const SurfacePlan& plan, SurfaceImpl** out) {
  *out = nullptr;
  kv::ComPtr<SurfaceImpl> surface = kv::ComPtr<SurfaceImpl>::Adopt(new (std::nothrow) SurfaceImpl(owner, plan));
  if (!surface) return DDERR_OUTOFMEMORY;
  HRESULT hr = SurfaceBuffer::Allocate(plan.width, plan.height, plan.format, &surface->memory_);
  if (FAILED(hr)) return hr;
  if (plan.role == SurfaceRole::FlipFront) {
    SurfacePlan backSpec = plan;
    backSpec.role = SurfaceRole::BackBuffer;
    SurfaceImpl* back = nullptr;
    hr = Create(owner, backSpec, &back);
    if (FAILED(hr)) return hr;
    surface->backBuffer_.Attach(back);
  }
  Display::Instance().Register(surface.Get());
  *out = surface.Detach();
  return DD_OK;
}

SurfaceImpl* SurfaceImpl::From(IDirectDrawSurface4* surface) { return dynamic_cast<SurfaceImpl*>(surface); }

const DirectDrawObject* SurfaceImpl::Owner() const { return owner_.Get(); }

HRESULT SurfaceImpl::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDirectDrawSurface4) {
    *object = static_cast<IDirectDrawSurface4*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

// ---- Description ----------------------------------------------------------------

DWORD SurfaceImpl::Caps() const {
  DWORD caps = spec_.extraCaps;
  caps |= spec_.videoMemory ? (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM) : DDSCAPS_SYSTEMMEMORY;
  switch (spec_.role) {
    case SurfaceRole::OffScreen: break;
    case SurfaceRole::Primary: caps |= DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE; break;
    case SurfaceRole::FlipFront:
      caps |= DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE | DDSCAPS_FRONTBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
      break;
    case SurfaceRole::BackBuffer: caps |= DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX; break;
    case SurfaceRole::Depth: caps |= DDSCAPS_ZBUFFER; break;
  }
  return caps;
}

void SurfaceImpl::FillDesc(DDSURFACEDESC2* desc) const {
  const DWORD size = desc->dwSize;
  *desc = DDSURFACEDESC2{};
  desc->dwSize = size;
  desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwWidth = static_cast<DWORD>(spec_.width);
  desc->dwHeight = static_cast<DWORD>(spec_.height);
  desc->lPitch = memory_.Pitch();
  desc->ddpfPixelFormat = ToPixelFormat(spec_.format);
  desc->ddsCaps.dwCaps = Caps();
  if (spec_.role == SurfaceRole::FlipFront) {
    desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
    desc->dwBackBufferCount = 1;
  }
}

HRESULT SurfaceImpl::GetSurfaceDesc(DDSURFACEDESC2* desc) {
  if (!desc || !DescSizeOk(*desc)) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(mutex_);
  FillDesc(desc);
  return DD_OK;
}

PixelView SurfaceImpl::View() const {
  return PixelView{memory_.Data(), spec_.width, spec_.height, memory_.Pitch(), spec_.format};
}

HRESULT SurfaceImpl::CheckUsable() const {
  if (lost_.load(std::memory_order_acquire) || (gl_ && gl_->Lost())) return DDERR_SURFACELOST;
  if (Busy()) return DDERR_SURFACEBUSY;
  return DD_OK;
}

// ---- Pixel access ---------------------------------------------------------------

void SurfaceImpl::FinishPendingFill() {
  if (!pendingFill_) return;
  Fill(View(), pendingFill_->area, pendingFill_->raw);
  pendingFill_.reset();
}

void SurfaceImpl::MakeMemoryCurrent() {
  ReadGlPictureLocked();
  FinishPendingFill();
}

HRESULT SurfaceImpl::LockArea(RECT* rect, DDSURFACEDESC2* desc) {
  if (HRESULT hr = CheckUsable(); FAILED(hr)) return hr;
  RECT area = rect ? *rect : View().Bounds();
  if (IsEmpty(area) || !Contains(View().Bounds(), area)) return DDERR_INVALIDRECT;
  FillDesc(desc);
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lpSurface = View().At(area.left, area.top);
  locked_ = true;
  return DD_OK;
}

HRESULT SurfaceImpl::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD /*flags*/, HANDLE /*event*/) {
  if (!desc || !DescSizeOk(*desc)) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(mutex_);
  if (HRESULT hr = LockArea(rect, desc); FAILED(hr)) return hr;
  // The device's own lock (LockTakingFill) draws on its picture where it is.
  MakeMemoryCurrent();
  lockedForCpu_ = true;
  return DD_OK;
}

HRESULT SurfaceImpl::LockTakingFill(DDSURFACEDESC2* desc, std::optional<ColorFill>* fill) {
  if (!desc || !DescSizeOk(*desc)) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(mutex_);
  if (HRESULT hr = LockArea(nullptr, desc); FAILED(hr)) return hr;
  *fill = std::exchange(pendingFill_, std::nullopt);
  return DD_OK;
}

void SurfaceImpl::FillLocked(const ColorFill& fill) {
  std::lock_guard lock(mutex_);
  if (locked_) Fill(View(), Intersect(fill.area, View().Bounds()), fill.raw);
}

HRESULT SurfaceImpl::Unlock(RECT* /*rect*/) { return UnlockLeavingFill(std::nullopt); }

HRESULT SurfaceImpl::UnlockLeavingFill(std::optional<ColorFill> fill) {
  HWND show = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
    if (fill && !IsDepth(spec_.format)) {
      fill->area = Intersect(fill->area, View().Bounds());
      if (!IsEmpty(fill->area)) pendingFill_ = fill;
    }
    if (lockedForCpu_) UploadGlPictureLocked();
    lockedForCpu_ = false;
  }
  if (spec_.role == SurfaceRole::FlipFront || spec_.role == SurfaceRole::Primary)
    show = Display::Instance().ExclusiveWindow(owner_.Get());
  if (show) PresentFullScreen(show);
  return DD_OK;
}

namespace {
std::optional<kv::win::PixelLayout> DcLayout(Format format) {
  switch (format) {
    case Format::Xrgb8888: return kv::win::PixelLayout::XRGB8888;
    case Format::Rgb888: return kv::win::PixelLayout::RGB888;
    case Format::Rgb565: return kv::win::PixelLayout::RGB565;
    default: return std::nullopt;
  }
}
}  // namespace

HRESULT SurfaceImpl::GetDC(HDC* dc) {
  if (!dc) return DDERR_INVALIDPARAMS;
  *dc = nullptr;
  std::lock_guard lock(mutex_);
  if (lost_.load(std::memory_order_acquire)) return DDERR_SURFACELOST;
  if (dc_) return DDERR_DCALREADYCREATED;
  if (locked_) return DDERR_SURFACEBUSY;
  std::optional<kv::win::PixelLayout> layout = DcLayout(spec_.format);
  if (!layout) return DDERR_CANTCREATEDC;
  MakeMemoryCurrent();
  kv::win::PixelTarget target{memory_.Data(), spec_.width, spec_.height, memory_.Pitch(), *layout};
  HDC made = CreateSurfaceDC(target);
  if (!made) return DDERR_CANTCREATEDC;
  dc_ = made;
  *dc = made;
  return DD_OK;
}

HRESULT SurfaceImpl::ReleaseDC(HDC dc) {
  std::lock_guard lock(mutex_);
  if (!dc_) return DDERR_NODC;
  if (dc != dc_) return DDERR_INVALIDPARAMS;
  DeleteDC(dc_);
  dc_ = nullptr;
  UploadGlPictureLocked();
  return DD_OK;
}

// ---- Attachments ----------------------------------------------------------------

HRESULT SurfaceImpl::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** attached) {
  if (!caps || !attached) return DDERR_INVALIDPARAMS;
  *attached = nullptr;
  const DWORD wanted = caps->dwCaps;
  if (wanted == 0) return DDERR_INVALIDPARAMS;
  kv::ComPtr<SurfaceImpl> found;
  {
    std::lock_guard lock(mutex_);
    if (backBuffer_ && (backBuffer_->Caps() & wanted) == wanted)
      found = backBuffer_;
    else if (depth_ && (depth_->Caps() & wanted) == wanted)
      found = depth_;
  }
  if (!found) return DDERR_NOTFOUND;
  *attached = found.Detach();
  return DD_OK;
}

HRESULT SurfaceImpl::AddAttachedSurface(IDirectDrawSurface4* attached) {
  if (!attached) return DDERR_INVALIDPARAMS;
  SurfaceImpl* other = From(attached);
  if (!other) return DDERR_INVALIDOBJECT;
  // A depth buffer of the same size and DirectDraw object, on a colour surface.
  if (other == this || other->Role() != SurfaceRole::Depth || spec_.role == SurfaceRole::Depth ||
      other->Owner() != Owner() || other->spec_.width != spec_.width || other->spec_.height != spec_.height)
    return DDERR_CANNOTATTACHSURFACE;
  std::lock_guard lock(mutex_);
  if (depth_) return DDERR_SURFACEALREADYATTACHED;
  depth_ = kv::ComPtr<SurfaceImpl>(other);
  return DD_OK;
}

HRESULT SurfaceImpl::DeleteAttachedSurface(DWORD flags, IDirectDrawSurface4* attached) {
  if (flags != 0) return DDERR_INVALIDPARAMS;
  kv::ComPtr<SurfaceImpl> detached;  // released after the lock
  std::lock_guard lock(mutex_);
  SurfaceImpl* other = attached ? From(attached) : nullptr;
  if (attached && !other) return DDERR_INVALIDOBJECT;
  if (other && other == backBuffer_.Get()) return DDERR_CANNOTDETACHSURFACE;
  if (other && other != depth_.Get()) return DDERR_SURFACENOTATTACHED;
  detached = std::move(depth_);
  return DD_OK;
}

bool SurfaceImpl::HasDepthInVideoMemory() {
  std::lock_guard lock(mutex_);
  return depth_ && depth_->InVideoMemory();
}

HRESULT SurfaceImpl::SetClipper(IDirectDrawClipper* clipper) {
  ClipperImpl* impl = clipper ? ClipperImpl::From(clipper) : nullptr;
  if (clipper && !impl) return DDERR_INVALIDOBJECT;
  kv::ComPtr<ClipperImpl> previous;
  std::lock_guard lock(mutex_);
  previous = std::exchange(clipper_, kv::ComPtr<ClipperImpl>(impl));
  return DD_OK;
}

HRESULT SurfaceImpl::GetClipper(IDirectDrawClipper** clipper) {
  if (!clipper) return DDERR_INVALIDPARAMS;
  *clipper = nullptr;
  std::lock_guard lock(mutex_);
  if (!clipper_) return DDERR_NOCLIPPERATTACHED;
  clipper_->AddRef();
  *clipper = clipper_.Get();
  return DD_OK;
}

// ---- Lost surfaces --------------------------------------------------------------

void SurfaceImpl::MarkLost() {
  lost_.store(true, std::memory_order_release);
  if (backBuffer_) backBuffer_->MarkLost();
}

bool SurfaceImpl::LosesMemoryOnModeChange() const {
  return spec_.videoMemory || spec_.role == SurfaceRole::Primary || spec_.role == SurfaceRole::FlipFront ||
         spec_.role == SurfaceRole::BackBuffer;
}

HRESULT SurfaceImpl::IsLost() {
  return lost_.load(std::memory_order_acquire) || GlLost() ? DDERR_SURFACELOST : DD_OK;
}

HRESULT SurfaceImpl::Restore() {
  if (spec_.role == SurfaceRole::BackBuffer) return DDERR_IMPLICITLYCREATED;
  // The context went with its picture: only a new device brings one back.
  if (GlLost()) return DDERR_NOTFOUND;
  if (!lost_.load(std::memory_order_acquire)) return DD_OK;
  Display& display = Display::Instance();
  return RestoreKnowing(display.CurrentMode(), display.IsExclusive(owner_.Get()));
}

HRESULT SurfaceImpl::RestoreKnowing(const DisplayModeInfo& current, bool ownerExclusive) {
  if (spec_.role == SurfaceRole::BackBuffer) return DDERR_IMPLICITLYCREATED;
  if (!lost_.load(std::memory_order_acquire)) return DD_OK;
  const bool primary = spec_.role == SurfaceRole::Primary || spec_.role == SurfaceRole::FlipFront;
  if (primary && (current.width != spec_.mode.width || current.height != spec_.mode.height ||
                  current.bitsPerPixel != spec_.mode.bitsPerPixel))
    return DDERR_WRONGMODE;
  if (spec_.role == SurfaceRole::FlipFront && !ownerExclusive) return DDERR_NOEXCLUSIVEMODE;
  auto restoreOne = [](SurfaceImpl& s) {
    std::lock_guard lock(s.mutex_);
    if (s.Busy()) return DDERR_SURFACEBUSY;
    s.memory_.Clear();
    s.pendingFill_.reset();
    s.lost_.store(false, std::memory_order_release);
    return DD_OK;
  };
  if (backBuffer_) {
    if (HRESULT hr = restoreOne(*backBuffer_); FAILED(hr)) return hr;
  }
  return restoreOne(*this);
}

PixelImage SurfaceImpl::ReadPixels() {
  std::lock_guard lock(mutex_);
  PixelImage image;
  if (FAILED(CheckUsable())) return image;
  MakeMemoryCurrent();
  const PixelView view = View();
  image.width = view.width;
  image.height = view.height;
  image.pixels.resize(static_cast<std::size_t>(view.width) * view.height);
  std::size_t i = 0;
  for (int y = 0; y < view.height; ++y)
    for (int x = 0; x < view.width; ++x) image.pixels[i++] = LoadXrgb(view.format, view.At(x, y));
  return image;
}

// ---- A hardware device's picture in a window context ------------------------------

void SurfaceImpl::FollowGlPicture(std::shared_ptr<GlContext> context) {
  std::lock_guard lock(mutex_);
  gl_ = std::move(context);
  glHeld_ = 0;
}

bool SurfaceImpl::GlLost() const {
  std::lock_guard lock(mutex_);
  return gl_ && gl_->Lost();
}

namespace {
// A flip chain's front holds the frame shown; anything else the picture drawn.
GlContext::Image ImageOf(SurfaceRole role) {
  return role == SurfaceRole::FlipFront ? GlContext::Image::Shown : GlContext::Image::Drawn;
}
}  // namespace

void SurfaceImpl::ReadGlPictureLocked() {
  if (gl_ && spec_.format == Format::Xrgb8888)
    gl_->ReadPicture(ImageOf(spec_.role), memory_.Data(), memory_.Pitch(), glHeld_);
}

void SurfaceImpl::UploadGlPictureLocked() {
  if (gl_ && spec_.format == Format::Xrgb8888)
    gl_->UploadPicture(ImageOf(spec_.role), memory_.Data(), memory_.Pitch(), glHeld_);
}

}  // namespace kv::ddraw
