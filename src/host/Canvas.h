// TCanvas: drawing on a device context with a pen (outlines and lines), a
// brush (fills) and a font (text). The canvas does not own its device
// context: a control sets it for the length of a paint (TCustomControl) and
// the view sets its back surface's during its drawing events. Drawing
// without a device context does nothing.
#pragma once

#include <string>
#include <string_view>

#include "korvane3d/host/Color.h"
#include "korvane3d/platform/win/Gdi.h"

namespace kv {

// The COLORREF a colour stands for: system colours are looked up, clNone
// and clDefault give black.
COLORREF ColorToRGB(TColor color);

enum TPenStyle { psSolid, psDash, psDot, psClear };
enum TBrushStyle { bsSolid, bsClear };

struct TPen {
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = psSolid;
};
struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
};
struct TFont {
  TColor Color = clBlack;
  int Height = 16;  // pixels; the built-in font scales in whole multiples
};

class TCanvas {
 public:
  TCanvas() = default;
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  HDC Handle() const { return dc_; }
  // Uses `dc` from now on (null: none); the previous one is handed back
  // with this canvas's objects taken out of it.
  void SetHandle(HDC dc);

  // Change these freely; they are applied at the next drawing call.
  TPen Pen;
  TBrush Brush;
  TFont Font;

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  POINT PenPos() const { return penPos_; }
  void Rectangle(int left, int top, int right, int bottom);
  void Ellipse(int left, int top, int right, int bottom);
  void FillRect(const RECT& rect);  // with the brush, no outline
  void TextOut(int x, int y, std::string_view text);
  int TextWidth(std::string_view text);
  int TextHeight(std::string_view text);
  TColor Pixels(int x, int y);
  void SetPixel(int x, int y, TColor color);

 private:
  // Selects GDI objects matching Pen, Brush and Font into the context.
  bool Prepare();
  void ReleaseObjects();

  HDC dc_ = nullptr;
  POINT penPos_;
  HPEN pen_ = nullptr;
  HBRUSH brush_ = nullptr;
  HFONT font_ = nullptr;
  TPen penMade_;
  TBrush brushMade_;
  TFont fontMade_;
  HGDIOBJ oldPen_ = nullptr, oldBrush_ = nullptr, oldFont_ = nullptr;
};

}  // namespace kv
