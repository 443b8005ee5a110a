// Device contexts, pens, brushes and fonts: creation, selection, deletion
// and the text and background settings of a DC.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "korvane3d/platform/win/GdiFont.h"
#include "korvane3d/platform/win/GdiInternal.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

using namespace kv::win::detail;

namespace win::detail {

HandleTable<DeviceContext>& DeviceContexts() {
  static HandleTable<DeviceContext> table(HandleKind::DeviceContext);
  return table;
}

namespace {

std::uintptr_t StockHandleValue(int index) {
  return (static_cast<std::uintptr_t>(HandleKind::GdiObject) << 40) | (0x10 + static_cast<std::uintptr_t>(index));
}

std::shared_ptr<GdiObject> StockObject(int index) {
  auto o = std::make_shared<GdiObject>();
  o->stock = true;
  auto brush = [&](bool hollow, COLORREF c) {
    o->kind = GdiObject::Kind::Brush;
    o->brush = BrushState{hollow, c};
  };
  auto pen = [&](int style, COLORREF c) {
    o->kind = GdiObject::Kind::Pen;
    o->pen = PenState{style, 1, c};
  };
  switch (index) {
    case WHITE_BRUSH: brush(false, RGB(255, 255, 255)); break;
    case LTGRAY_BRUSH: brush(false, RGB(192, 192, 192)); break;
    case GRAY_BRUSH: brush(false, RGB(128, 128, 128)); break;
    case DKGRAY_BRUSH: brush(false, RGB(64, 64, 64)); break;
    case BLACK_BRUSH: brush(false, RGB(0, 0, 0)); break;
    case NULL_BRUSH: brush(true, 0); break;
    case WHITE_PEN: pen(PS_SOLID, RGB(255, 255, 255)); break;
    case BLACK_PEN: pen(PS_SOLID, RGB(0, 0, 0)); break;
    case NULL_PEN: pen(PS_NULL, 0); break;
    case OEM_FIXED_FONT: case ANSI_FIXED_FONT: case ANSI_VAR_FONT: case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT: case SYSTEM_FIXED_FONT: case DEFAULT_GUI_FONT:
      o->kind = GdiObject::Kind::Font;
      break;
    default:
      return nullptr;
  }
  return o;
}

}  // namespace

HandleTable<GdiObject>& GdiObjects() {
  static HandleTable<GdiObject> table(HandleKind::GdiObject);
  static const bool stocked = [] {
    for (int i = 0; i <= DEFAULT_GUI_FONT; ++i) {
      if (auto o = StockObject(i)) table.AddFixed(StockHandleValue(i), std::move(o));
    }
    return true;
  }();
  (void)stocked;
  return table;
}

HDC CreateDeviceContext(DcTarget target) {
  auto dc = std::make_shared<DeviceContext>();
  dc->target = std::move(target);
  dc->pen = GetStockObject(BLACK_PEN);
  dc->brush = GetStockObject(WHITE_BRUSH);
  dc->font = GetStockObject(SYSTEM_FONT);
  dc->brushState = BrushState{false, RGB(255, 255, 255)};
  return MakeHandle<HDC>(DeviceContexts().Add(std::move(dc)));
}

std::shared_ptr<DeviceContext> FindDC(HDC dc) { return DeviceContexts().Find(HandleValue(dc)); }

HWND WindowOfDC(HDC dc) {
  auto found = FindDC(dc);
  return found ? found->target.window : nullptr;
}

}  // namespace win::detail

namespace {

int BytesPerPixel(kv::win::PixelLayout layout) {
  switch (layout) {
    case kv::win::PixelLayout::XRGB8888: return 4;
    case kv::win::PixelLayout::RGB888: return 3;
    case kv::win::PixelLayout::RGB565: return 2;
  }
  return 0;
}

HGDIOBJ AddObject(GdiObject object) {
  return MakeHandle<HGDIOBJ>(GdiObjects().Add(std::make_shared<GdiObject>(object)));
}

}  // namespace

HDC CreateSurfaceDC(const kv::win::PixelTarget& target) {
  int bpp = BytesPerPixel(target.layout);
  if (!target.pixels || bpp == 0 || target.width <= 0 || target.height <= 0) return nullptr;
  if (target.pitchBytes < static_cast<long long>(target.width) * bpp) return nullptr;
  DcTarget t;
  t.pixels = target;
  t.clip = RECT{0, 0, target.width, target.height};
  return CreateDeviceContext(std::move(t));
}

BOOL DeleteDC(HDC dc) { return DeviceContexts().Remove(HandleValue(dc)) ? TRUE : FALSE; }

HPEN CreatePen(int style, int width, COLORREF color) {
  GdiObject o;
  o.kind = GdiObject::Kind::Pen;
  bool known = style == PS_SOLID || style == PS_DASH || style == PS_DOT || style == PS_NULL;
  o.pen = PenState{known ? style : PS_SOLID, width < 1 ? 1 : width, color & 0xFFFFFF};
  return AddObject(o);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  GdiObject o;
  o.kind = GdiObject::Kind::Brush;
  o.brush = BrushState{false, color & 0xFFFFFF};
  return AddObject(o);
}

HGDIOBJ GetStockObject(int index) {
  if (index < 0 || index > DEFAULT_GUI_FONT) return nullptr;
  std::uintptr_t value = StockHandleValue(index);
  return GdiObjects().Find(value) ? MakeHandle<HGDIOBJ>(value) : nullptr;
}

constexpr int kLargestFontScale = 256;  // 4096-pixel cells

HFONT CreateFontA(int height, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, LPCSTR) {
  GdiObject o;
  o.kind = GdiObject::Kind::Font;
  long long pixels = height == 0 ? kGlyphHeight : std::llabs(static_cast<long long>(height));
  o.font.scale = static_cast<int>(std::clamp<long long>((pixels + kGlyphHeight / 2) / kGlyphHeight, 1, kLargestFontScale));
  return AddObject(o);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  auto context = FindDC(dc);
  auto found = GdiObjects().Find(HandleValue(object));
  if (!context || !found) return nullptr;
  std::lock_guard lock(context->mutex);
  switch (found->kind) {
    case GdiObject::Kind::Pen:
      context->penState = found->pen;
      return std::exchange(context->pen, object);
    case GdiObject::Kind::Brush:
      context->brushState = found->brush;
      return std::exchange(context->brush, object);
    case GdiObject::Kind::Font:
      context->fontState = found->font;
      return std::exchange(context->font, object);
  }
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
  auto found = GdiObjects().Find(HandleValue(object));
  if (!found) return FALSE;
  if (found->stock) return TRUE;
  // A DC keeps its own copy of what is selected into it, so deleting a
  // selected object cannot leave the DC drawing with freed state.
  GdiObjects().Remove(HandleValue(object));
  return TRUE;
}

int SetBkMode(HDC dc, int mode) {
  auto context = FindDC(dc);
  if (!context || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  std::lock_guard lock(context->mutex);
  return std::exchange(context->bkMode, mode);
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  auto context = FindDC(dc);
  if (!context) return CLR_INVALID;
  std::lock_guard lock(context->mutex);
  return std::exchange(context->bkColor, color & 0xFFFFFF);
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  auto context = FindDC(dc);
  if (!context) return CLR_INVALID;
  std::lock_guard lock(context->mutex);
  return std::exchange(context->textColor, color & 0xFFFFFF);
}

}  // namespace kv
