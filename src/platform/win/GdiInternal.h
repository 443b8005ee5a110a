// Device contexts and GDI objects as the GDI functions keep them. Internal.
#pragma once

#include <memory>
#include <mutex>

#include "korvane3d/platform/win/Gdi.h"
#include "korvane3d/platform/win/HandleTable.h"

namespace kv::win::detail {

struct PenState {
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};
struct BrushState {
  bool hollow = false;
  COLORREF color = 0xFFFFFF;
};
struct FontState {
  int scale = 1;  // whole multiples of the 8 x 16 cell
};

struct GdiObject {
  enum class Kind { Pen, Brush, Font } kind = Kind::Pen;
  PenState pen;
  BrushState brush;
  FontState font;
  bool stock = false;
};

// Where a device context draws: pixels, the place of logical (0, 0) in them
// and the clip rectangle in pixel coordinates (always inside the pixels).
struct DcTarget {
  PixelTarget pixels;
  POINT origin;
  RECT clip;
  std::shared_ptr<void> keepAlive;  // a window's framebuffer, kept while the DC lives
  HWND window = nullptr;            // the window of GetDC/BeginPaint
};

struct DeviceContext {
  std::mutex mutex;  // one drawing call at a time per DC
  DcTarget target;
  HGDIOBJ pen = nullptr;
  HGDIOBJ brush = nullptr;
  HGDIOBJ font = nullptr;
  PenState penState;
  BrushState brushState;
  FontState fontState;
  int bkMode = OPAQUE;
  COLORREF bkColor = 0xFFFFFF;
  COLORREF textColor = 0;
  POINT position;
};

HandleTable<DeviceContext>& DeviceContexts();
HandleTable<GdiObject>& GdiObjects();

// A new device context with the default objects selected.
HDC CreateDeviceContext(DcTarget target);
std::shared_ptr<DeviceContext> FindDC(HDC dc);
// The window a DC was made for (null for surface DCs or unknown handles).
HWND WindowOfDC(HDC dc);

}  // namespace kv::win::detail
