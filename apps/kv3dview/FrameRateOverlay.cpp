#include "FrameRateOverlay.h"

#include <cstdio>

#include "korvane3d/host/Canvas.h"

namespace kv::viewer {

FrameRateOverlay::FrameRateOverlay(TKV3DView& view) : view_(view) {
  drawing_->formsOwn = view.OnDrawFrontGDI;
  view_.OnDrawFrontGDI = [drawing = drawing_](TObject* sender, HDC dc) {
    drawing->formsOwn(sender, dc);
    drawing->Draw(dc);
  };
}

FrameRateOverlay::~FrameRateOverlay() { view_.OnDrawFrontGDI = drawing_->formsOwn; }

void FrameRateOverlay::Drawing::Draw(HDC dc) {
  ++frames;
  const auto now = std::chrono::steady_clock::now();
  const std::chrono::duration<double> span = now - since;
  if (span.count() >= 0.5) {
    rate = frames / span.count();
    frames = 0;
    since = now;
  }
  if (!shown) return;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f fps", rate);
  TCanvas canvas;
  canvas.SetHandle(dc);
  canvas.Font.Color = clWhite;
  canvas.Font.Height = 16;
  const int width = canvas.TextWidth(text), height = canvas.TextHeight(text);
  canvas.Brush.Color = clBlack;
  canvas.FillRect(RECT{4, 4, 4 + width + 8, 4 + height + 6});
  canvas.Brush.Style = bsClear;
  canvas.TextOut(8, 7, text);
  canvas.SetHandle(nullptr);
}

}  // namespace kv::viewer
