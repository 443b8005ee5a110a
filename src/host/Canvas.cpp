#include "korvane3d/host/Canvas.h"

#include "korvane3d/platform/win/WinApi.h"

namespace kv {

COLORREF ColorToRGB(TColor color) {
  if (color == clNone || color == clDefault) return 0;
  if ((color & clSystemColor) != 0) return GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0x00FFFFFF;
}

namespace {
bool SamePen(const TPen& a, const TPen& b) { return a.Color == b.Color && a.Width == b.Width && a.Style == b.Style; }
bool SameBrush(const TBrush& a, const TBrush& b) { return a.Color == b.Color && a.Style == b.Style; }
int PenStyleFor(TPenStyle s) {
  switch (s) {
    case psDash: return PS_DASH;
    case psDot: return PS_DOT;
    case psClear: return PS_NULL;
    default: return PS_SOLID;
  }
}
}  // namespace

TCanvas::~TCanvas() { SetHandle(nullptr); }

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  ReleaseObjects();
  dc_ = dc;
}

void TCanvas::ReleaseObjects() {
  if (dc_ != nullptr) {
    if (oldPen_) SelectObject(dc_, oldPen_);
    if (oldBrush_) SelectObject(dc_, oldBrush_);
    if (oldFont_) SelectObject(dc_, oldFont_);
  }
  oldPen_ = oldBrush_ = oldFont_ = nullptr;
  for (HGDIOBJ* object : {&pen_, &brush_, &font_}) {
    if (*object != nullptr) DeleteObject(*object);
    *object = nullptr;
  }
}

bool TCanvas::Prepare() {
  if (dc_ == nullptr) return false;
  if (pen_ == nullptr || !SamePen(Pen, penMade_)) {
    HPEN made = CreatePen(PenStyleFor(Pen.Style), Pen.Width, ColorToRGB(Pen.Color));
    HGDIOBJ previous = SelectObject(dc_, made);
    if (oldPen_ == nullptr) oldPen_ = previous;
    if (pen_ != nullptr) DeleteObject(pen_);
    pen_ = made;
    penMade_ = Pen;
  }
  if (brush_ == nullptr || !SameBrush(Brush, brushMade_)) {
    HBRUSH made = Brush.Style == bsClear ? nullptr : CreateSolidBrush(ColorToRGB(Brush.Color));
    HGDIOBJ previous = SelectObject(dc_, made != nullptr ? made : GetStockObject(NULL_BRUSH));
    if (oldBrush_ == nullptr) oldBrush_ = previous;
    if (brush_ != nullptr) DeleteObject(brush_);
    brush_ = made;
    brushMade_ = Brush;
  }
  if (font_ == nullptr || Font.Height != fontMade_.Height) {
    HFONT made = CreateFontA(Font.Height, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "System");
    HGDIOBJ previous = SelectObject(dc_, made);
    if (oldFont_ == nullptr) oldFont_ = previous;
    if (font_ != nullptr) DeleteObject(font_);
    font_ = made;
  }
  fontMade_ = Font;
  SetTextColor(dc_, ColorToRGB(Font.Color));
  SetBkColor(dc_, ColorToRGB(Brush.Color));
  SetBkMode(dc_, Brush.Style == bsClear ? TRANSPARENT : OPAQUE);
  return true;
}

void TCanvas::MoveTo(int x, int y) {
  penPos_ = POINT{x, y};
  if (dc_ != nullptr) MoveToEx(dc_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
  if (Prepare()) {
    MoveToEx(dc_, penPos_.x, penPos_.y, nullptr);
    kv::LineTo(dc_, x, y);
  }
  penPos_ = POINT{x, y};
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  if (Prepare()) kv::Rectangle(dc_, left, top, right, bottom);
}

void TCanvas::Ellipse(int left, int top, int right, int bottom) {
  if (Prepare()) kv::Ellipse(dc_, left, top, right, bottom);
}

void TCanvas::FillRect(const RECT& rect) {
  if (!Prepare() || Brush.Style == bsClear) return;
  kv::FillRect(dc_, &rect, brush_);
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  if (Prepare()) TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
}

int TCanvas::TextWidth(std::string_view text) {
  SIZE size;
  if (!Prepare() || !GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size)) return 0;
  return size.cx;
}

int TCanvas::TextHeight(std::string_view text) {
  SIZE size;
  if (!Prepare() || !GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size)) return 0;
  return size.cy;
}

TColor TCanvas::Pixels(int x, int y) {
  if (dc_ == nullptr) return clNone;
  const COLORREF c = GetPixel(dc_, x, y);
  return c == CLR_INVALID ? clNone : static_cast<TColor>(c);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  if (dc_ != nullptr) kv::SetPixel(dc_, x, y, ColorToRGB(color));
}

}  // namespace kv
