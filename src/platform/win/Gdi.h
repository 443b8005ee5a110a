// GDI drawing on device contexts: what the framework's canvas and the view's
// GDI events use. A device context draws into a block of pixels: a window's
// client area (GetDC, BeginPaint) or a display surface's memory
// (CreateSurfaceDC, used by the display layer's IDirectDrawSurface4::GetDC).
#pragma once

#include "korvane3d/platform/win/WinTypes.h"

namespace kv {

struct HGDIOBJ__;
using HGDIOBJ = HGDIOBJ__*;
using HPEN = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HFONT = HGDIOBJ;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

namespace win {
// Memory layouts a device context can draw into.
// XRGB8888: 32-bit 0x00RRGGBB; RGB888: 3 bytes, blue first (0xRRGGBB little
// endian); RGB565: 16-bit, red in the top five bits.
enum class PixelLayout { XRGB8888, RGB888, RGB565 };
struct PixelTarget {
  void* pixels = nullptr;
  int width = 0;
  int height = 0;
  int pitchBytes = 0;
  PixelLayout layout = PixelLayout::XRGB8888;
};
}  // namespace win

// A device context over caller-owned pixels; free it with DeleteDC before the
// pixels go.
HDC CreateSurfaceDC(const kv::win::PixelTarget& target);
BOOL DeleteDC(HDC dc);

constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_NULL = 5;  // other styles draw solid
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
// Every stock font is the built-in font.
constexpr int OEM_FIXED_FONT = 10;
constexpr int ANSI_FIXED_FONT = 11;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEVICE_DEFAULT_FONT = 14;
constexpr int SYSTEM_FIXED_FONT = 16;
constexpr int DEFAULT_GUI_FONT = 17;
HGDIOBJ GetStockObject(int index);
// The built-in font: a fixed bitmap font, scaled by whole multiples of its
// cell height (8 x 16 pixels at height 16).
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);  // returns the previous object of that kind
BOOL DeleteObject(HGDIOBJ object);             // stock objects are never deleted

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
int SetBkMode(HDC dc, int mode);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF SetTextColor(HDC dc, COLORREF color);

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);  // draws with the pen, excluding the end point
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);  // pen outline, brush inside
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
// Fills left..right-1, top..bottom-1. The brush may also be a system colour
// as (HBRUSH)(COLOR_xxx + 1).
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);  // CLR_INVALID outside
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

}  // namespace kv
