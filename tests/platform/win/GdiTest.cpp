// GDI drawing checked pixel by pixel on memory surfaces and window areas.
#include <cstring>
#include <thread>
#include <vector>

#include "WinTestSupport.h"
#include "korvane3d/platform/win/Gdi.h"

using namespace kv;

namespace {

using kv::win::PixelLayout;
using kv::win::PixelTarget;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A 32-bit surface with a guard band around it, so writes outside show up.
class Surface {
 public:
  Surface(int w, int h, std::uint32_t fill = 0) : width(w), height(h), memory_((w + 2 * kGuard) * (h + 2 * kGuard), kGuardValue) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) At(x, y) = fill;
    dc = CreateSurfaceDC(PixelTarget{&At(0, 0), w, h, (w + 2 * kGuard) * 4, PixelLayout::XRGB8888});
  }
  ~Surface() { DeleteDC(dc); }
  std::uint32_t& At(int x, int y) { return memory_[(y + kGuard) * (width + 2 * kGuard) + x + kGuard]; }
  // Drawing never uses the guard value, so every guard pixel must still hold it.
  bool GuardIntact() const { return CountGuard() == static_cast<int>(memory_.size()) - width * height; }
  int CountGuard() const {
    int n = 0;
    for (auto v : memory_) n += v == kGuardValue;
    return n;
  }
  int Count(std::uint32_t value) {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += At(x, y) == value;
    return n;
  }

  int width, height;
  HDC dc = nullptr;

 private:
  static constexpr int kGuard = 4;
  static constexpr std::uint32_t kGuardValue = 0xDEADBEEF;
  std::vector<std::uint32_t> memory_;
};

class GdiTest : public kvtest::HeadlessTest {};

TEST_F(GdiTest, LineToDrawsFromStartAndLeavesOutTheEndPoint) {
  Surface s(16, 16);
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  SelectObject(s.dc, pen);
  MoveToEx(s.dc, 2, 3, nullptr);
  ASSERT_TRUE(LineTo(s.dc, 10, 3));
  EXPECT_EQ(s.At(2, 3), 0xFF0000u);
  EXPECT_EQ(s.At(9, 3), 0xFF0000u);
  EXPECT_EQ(s.At(10, 3), 0u) << "the end point is left out";
  EXPECT_EQ(s.Count(0xFF0000), 8);
  POINT previous;
  MoveToEx(s.dc, 0, 0, &previous);
  EXPECT_EQ(previous, (POINT{10, 3})) << "LineTo moves the current position";

  LineTo(s.dc, 5, 10);  // steep: one pixel per row
  for (int y = 0; y < 10; ++y) {
    int inRow = 0;
    for (int x = 0; x < 16; ++x) inRow += y != 3 && s.At(x, y) == 0xFF0000;
    if (y != 3) {
      EXPECT_EQ(inRow, 1) << "row " << y;
    }
  }
  EXPECT_EQ(s.At(5, 10), 0u);
  DeleteObject(pen);
}

TEST_F(GdiTest, StyledPensLeaveGapsAndNullPenDrawsNothing) {
  Surface s(64, 4);
  HPEN dot = CreatePen(PS_DOT, 1, kWhite);
  SelectObject(s.dc, dot);
  MoveToEx(s.dc, 0, 1, nullptr);
  LineTo(s.dc, 60, 1);
  int lit = s.Count(0xFFFFFF);
  EXPECT_GT(lit, 20);
  EXPECT_LT(lit, 40);
  SelectObject(s.dc, GetStockObject(NULL_PEN));
  MoveToEx(s.dc, 0, 2, nullptr);
  LineTo(s.dc, 60, 2);
  EXPECT_EQ(s.Count(0xFFFFFF), lit);
  DeleteObject(dot);
}

TEST_F(GdiTest, LinesFarOutsideAreClippedWithoutStrayWrites) {
  Surface s(20, 20);
  SelectObject(s.dc, GetStockObject(WHITE_PEN));
  MoveToEx(s.dc, -2000000000, -5, nullptr);
  LineTo(s.dc, 2000000000, 15);
  MoveToEx(s.dc, 10, -100000, nullptr);
  LineTo(s.dc, 10, 100000);
  HPEN wide = CreatePen(PS_SOLID, 5, kWhite);
  SelectObject(s.dc, wide);
  MoveToEx(s.dc, -1, -1, nullptr);
  LineTo(s.dc, 25, 25);
  EXPECT_TRUE(s.GuardIntact());
  EXPECT_EQ(s.At(10, 0), 0xFFFFFFu);
  EXPECT_EQ(s.At(10, 19), 0xFFFFFFu);
  DeleteObject(wide);
}

TEST_F(GdiTest, RectangleHasPenOutlineAndBrushInsideUpToRightAndBottomExcluded) {
  Surface s(12, 12);
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  HBRUSH brush = CreateSolidBrush(kBlue);
  SelectObject(s.dc, pen);
  SelectObject(s.dc, brush);
  ASSERT_TRUE(Rectangle(s.dc, 2, 2, 8, 7));
  for (int x = 2; x < 8; ++x) {
    EXPECT_EQ(s.At(x, 2), 0xFF0000u);
    EXPECT_EQ(s.At(x, 6), 0xFF0000u);
  }
  for (int y = 2; y < 7; ++y) {
    EXPECT_EQ(s.At(2, y), 0xFF0000u);
    EXPECT_EQ(s.At(7, y), 0xFF0000u);
  }
  EXPECT_EQ(s.Count(0x0000FF), 4 * 3) << "inside is filled with the brush";
  EXPECT_EQ(s.At(8, 4), 0u);
  EXPECT_EQ(s.At(4, 7), 0u);

  SelectObject(s.dc, GetStockObject(NULL_BRUSH));
  Surface t(12, 12);
  SelectObject(t.dc, pen);
  SelectObject(t.dc, GetStockObject(NULL_BRUSH));
  Rectangle(t.dc, 8, 7, 2, 2);  // corners in any order
  EXPECT_EQ(t.Count(0xFF0000), 2 * 6 + 2 * 3);
  EXPECT_EQ(t.At(4, 4), 0u) << "a null brush leaves the inside alone";
  DeleteObject(pen);
  DeleteObject(brush);
}

TEST_F(GdiTest, FillRectAcceptsBrushesAndSystemColourIndices) {
  Surface s(10, 10);
  RECT r{1, 1, 4, 3};
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_TRUE(FillRect(s.dc, &r, brush));
  EXPECT_EQ(s.Count(0x010203), 6);
  RECT all{-5, -5, 50, 50};
  EXPECT_TRUE(FillRect(s.dc, &all, reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1))));
  EXPECT_EQ(s.Count(0xC0C0C0), 100);
  EXPECT_TRUE(s.GuardIntact());
  EXPECT_FALSE(FillRect(s.dc, &r, reinterpret_cast<HBRUSH>(0x999999)));
  EXPECT_FALSE(FillRect(s.dc, nullptr, brush));
  DeleteObject(brush);
  EXPECT_FALSE(FillRect(s.dc, &r, brush)) << "a deleted brush is gone";
}

TEST_F(GdiTest, EllipseStaysInItsBoxAndIsSymmetric) {
  for (auto [w, h] : {std::pair{9, 7}, std::pair{10, 6}, std::pair{1, 5}, std::pair{30, 30}}) {
    Surface s(40, 40);
    SelectObject(s.dc, GetStockObject(WHITE_PEN));
    HBRUSH brush = CreateSolidBrush(kBlue);
    SelectObject(s.dc, brush);
    ASSERT_TRUE(Ellipse(s.dc, 3, 4, 3 + w, 4 + h));
    int minX = 99, maxX = -1, minY = 99, maxY = -1;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        if (!s.At(x, y)) continue;
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
        EXPECT_EQ(s.At(3 + w - 1 - (x - 3), y), s.At(x, y)) << w << "x" << h << " mirror in x at " << x << "," << y;
        EXPECT_EQ(s.At(x, 4 + h - 1 - (y - 4)), s.At(x, y)) << w << "x" << h << " mirror in y at " << x << "," << y;
      }
    EXPECT_EQ(minX, 3) << w << "x" << h;
    EXPECT_EQ(maxX, 3 + w - 1);
    EXPECT_EQ(minY, 4);
    EXPECT_EQ(maxY, 4 + h - 1);
    if (w >= 9 && h >= 6) {
      EXPECT_EQ(s.At(3 + w / 2, 4 + h / 2), 0x0000FFu) << "the middle is brush";
      EXPECT_EQ(s.At(3, 4), 0u) << "corners of the box stay empty";
    }
    DeleteObject(brush);
  }
}

TEST_F(GdiTest, EllipseClipsAndRefusesAbsurdSizes) {
  Surface s(20, 20);
  EXPECT_TRUE(Ellipse(s.dc, -30, -30, 50, 50));
  EXPECT_TRUE(s.GuardIntact());
  EXPECT_FALSE(Ellipse(s.dc, 0, 0, 1 << 20, 10));
}

TEST_F(GdiTest, TextDrawsInsideItsExtentAndScalesWithTheFont) {
  Surface s(120, 40, 0x111111);
  SIZE extent;
  ASSERT_TRUE(GetTextExtentPoint32A(s.dc, "Hello", 5, &extent));
  EXPECT_EQ(extent.cx, 40);
  EXPECT_EQ(extent.cy, 16);
  SetTextColor(s.dc, kWhite);
  SetBkMode(s.dc, TRANSPARENT);
  ASSERT_TRUE(TextOutA(s.dc, 5, 6, "Hello", 5));
  int inside = 0, outside = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      if (s.At(x, y) != 0xFFFFFF) continue;
      bool in = x >= 5 && x < 5 + extent.cx && y >= 6 && y < 6 + extent.cy;
      (in ? inside : outside)++;
    }
  EXPECT_GT(inside, 50);
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(s.Count(0), 0) << "transparent text leaves the background alone";

  HFONT big = CreateFontA(32, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Courier");
  SelectObject(s.dc, big);
  GetTextExtentPoint32A(s.dc, "Hi", 2, &extent);
  EXPECT_EQ(extent.cx, 32);
  EXPECT_EQ(extent.cy, 32);
  DeleteObject(big);
}

TEST_F(GdiTest, OpaqueTextFillsItsCellsWithTheBackgroundColour) {
  Surface s(40, 20);
  SetBkColor(s.dc, kBlue);
  SetTextColor(s.dc, kWhite);
  TextOutA(s.dc, 0, 0, " A", 2);
  EXPECT_EQ(s.Count(0x0000FF) + s.Count(0xFFFFFF), 2 * 8 * 16);
  EXPECT_EQ(s.Count(0xFFFFFF) > 0, true);
  EXPECT_FALSE(TextOutA(s.dc, 0, 0, nullptr, 3));
  EXPECT_TRUE(TextOutA(s.dc, -1000, 1000, "clipped away", 12));
  EXPECT_TRUE(TextOutA(s.dc, 0, 0, "\x01\xff", 2)) << "unknown characters draw as a placeholder";
  EXPECT_TRUE(s.GuardIntact());
}

TEST_F(GdiTest, EveryPrintableCharacterHasAGlyphExceptSpace) {
  Surface s(8, 16);
  SetBkMode(s.dc, TRANSPARENT);
  SetTextColor(s.dc, kWhite);
  for (int c = 33; c <= 126; ++c) {
    RECT all{0, 0, 8, 16};
    FillRect(s.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    char ch = static_cast<char>(c);
    TextOutA(s.dc, 0, 0, &ch, 1);
    EXPECT_GT(s.Count(0xFFFFFF), 0) << "character " << ch;
    for (int y = 0; y < 16; ++y) EXPECT_EQ(s.At(7, y), 0u) << "a gap column keeps characters apart: " << ch;
  }
}

TEST_F(GdiTest, Rgb565AndRgb888TargetsStoreTheirOwnLayout) {
  std::vector<std::uint16_t> px565(8 * 4, 0);
  HDC dc = CreateSurfaceDC(PixelTarget{px565.data(), 8, 4, 16, PixelLayout::RGB565});
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(SetPixel(dc, 1, 1, RGB(255, 0, 0)), RGB(255, 0, 0));
  EXPECT_EQ(px565[8 + 1], 0xF800);
  RECT r{0, 2, 8, 3};
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  FillRect(dc, &r, green);
  EXPECT_EQ(px565[2 * 8 + 7], 0x07E0);
  COLORREF stored = SetPixel(dc, 0, 0, RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(stored, GetPixel(dc, 0, 0)) << "SetPixel answers the colour it stored";
  EXPECT_EQ(stored, RGB(0x10, 0x34, 0x52)) << "the nearest 5-6-5 colour";
  EXPECT_EQ(GetPixel(dc, 8, 0), CLR_INVALID);
  DeleteDC(dc);

  std::vector<std::uint8_t> px888(5 * 3 * 2, 0);
  dc = CreateSurfaceDC(PixelTarget{px888.data(), 5, 2, 15, PixelLayout::RGB888});
  SetPixel(dc, 4, 1, RGB(0x11, 0x22, 0x33));
  EXPECT_EQ(px888[15 + 12], 0x33);  // blue first
  EXPECT_EQ(px888[15 + 14], 0x11);
  EXPECT_EQ(GetPixel(dc, 4, 1), RGB(0x11, 0x22, 0x33));
  DeleteDC(dc);
  DeleteObject(green);
}

TEST_F(GdiTest, BadTargetsAndHandlesAreRefused) {
  std::uint32_t px[4];
  EXPECT_EQ(CreateSurfaceDC(PixelTarget{nullptr, 2, 2, 8, PixelLayout::XRGB8888}), nullptr);
  EXPECT_EQ(CreateSurfaceDC(PixelTarget{px, 2, 2, 4, PixelLayout::XRGB8888}), nullptr) << "pitch too small";
  EXPECT_EQ(CreateSurfaceDC(PixelTarget{px, 0, 2, 8, PixelLayout::XRGB8888}), nullptr);
  HDC dc = CreateSurfaceDC(PixelTarget{px, 2, 2, 8, PixelLayout::XRGB8888});
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_FALSE(LineTo(dc, 1, 1));
  EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_PEN)), nullptr);
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH))) << "stock objects stay";
  EXPECT_NE(GetStockObject(BLACK_BRUSH), nullptr);
  EXPECT_EQ(GetStockObject(99), nullptr);
}

TEST_F(GdiTest, DeletingASelectedObjectLeavesTheDcDrawing) {
  Surface s(4, 4);
  HBRUSH brush = CreateSolidBrush(kRed);
  HGDIOBJ old = SelectObject(s.dc, brush);
  EXPECT_EQ(old, GetStockObject(WHITE_BRUSH));
  DeleteObject(brush);
  SelectObject(s.dc, GetStockObject(NULL_PEN));
  EXPECT_TRUE(Rectangle(s.dc, 0, 0, 4, 4));
  EXPECT_EQ(s.At(1, 1), 0xFF0000u);
}

TEST_F(GdiTest, WindowDcOfChildDrawsAtItsOffsetAndStaysInsideIt) {
  HWND form = CreateWindowExA(0, "", WS_VISIBLE, 0, 0, 50, 40, nullptr, nullptr);
  HWND view = CreateWindowExA(0, "", WS_CHILD | WS_VISIBLE, 10, 5, 20, 20, form, nullptr);
  HDC dc = GetDC(view);
  ASSERT_NE(dc, nullptr);
  RECT all{-100, -100, 100, 100};
  HBRUSH brush = CreateSolidBrush(kRed);
  FillRect(dc, &all, brush);
  EXPECT_EQ(ReleaseDC(form, dc), 0) << "not that window's DC";
  EXPECT_EQ(ReleaseDC(view, dc), 1);
  kv::platform::WindowPixels px;
  ASSERT_TRUE(kv::platform::LockWindowPixels(view, &px));
  EXPECT_EQ(px.clientOrigin, (POINT{10, 5}));
  int red = 0;
  for (int y = 0; y < px.height; ++y)
    for (int x = 0; x < px.width; ++x) {
      bool inView = x >= 10 && x < 30 && y >= 5 && y < 25;
      std::uint32_t v = px.pixels[y * px.pitchPixels + x];
      if (v == 0xFF0000) ++red;
      if (!inView) {
        EXPECT_EQ(v, 0u) << x << "," << y;
      }
    }
  EXPECT_EQ(red, 400);
  kv::platform::UnlockWindowPixels(view);
  DeleteObject(brush);
}

TEST_F(GdiTest, BeginPaintDrawsOnlyInsideTheUpdateRectangle) {
  HWND form = CreateWindowExA(0, "", WS_VISIBLE, 0, 0, 30, 30, nullptr, nullptr);
  ValidateRect(form, nullptr);
  RECT part{0, 0, 10, 10};
  InvalidateRect(form, &part, FALSE);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(form, &ps);
  RECT all{0, 0, 30, 30};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EndPaint(form, &ps);
  EXPECT_FALSE(IsWindow(nullptr));
  kv::platform::WindowPixels px;
  ASSERT_TRUE(kv::platform::LockWindowPixels(form, &px));
  EXPECT_EQ(px.pixels[9 * px.pitchPixels + 9], 0xFFFFFFu);
  EXPECT_EQ(px.pixels[10 * px.pitchPixels + 10], 0u);
}

TEST_F(GdiTest, SurfaceDcsDrawOnTwoThreadsAtOnce) {
  Surface a(64, 64), b(64, 64);
  auto draw = [](HDC dc) {
    HPEN pen = CreatePen(PS_SOLID, 1, kWhite);
    HGDIOBJ old = SelectObject(dc, pen);
    for (int i = 0; i < 200; ++i) {
      MoveToEx(dc, 0, i % 64, nullptr);
      LineTo(dc, 63, 63 - i % 64);
      TextOutA(dc, 2, 2, "thread", 6);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
  };
  std::thread render(draw, a.dc);
  draw(b.dc);
  render.join();
  EXPECT_EQ(a.Count(0xFFFFFF), b.Count(0xFFFFFF));
  EXPECT_GT(a.Count(0xFFFFFF), 0);
}

}  // namespace
