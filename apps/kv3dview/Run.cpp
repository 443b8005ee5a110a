#include "Run.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>

#include "DemoControls.h"
#include "DemoForm.h"
#include "korvane3d/host/Application.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/ddraw/VirtualMonitor.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/rm/image/Image.h"
#include "korvane3d/view/Kv3dview.h"

namespace kv::viewer {

namespace {
int Fail(const std::string& message, int status = 1) {
  std::fprintf(stderr, "kv3dview: %s\n", message.c_str());
  return status;
}

// Every form the viewer reads knows the demo's camera-control handlers, so a
// form written back from the demo (or one of the user's own that names
// them) runs as well.
std::unique_ptr<TComponent> ReadForm(const Options& options) {
  if (options.formFile.empty()) return ReadDemoForm();
  auto form = std::make_unique<TForm>(nullptr);
  RegisterDemoControls(*form);
  if (!ReadComponentResFile(options.formFile, form.get())) return nullptr;
  return form;
}

TKV3DView* FirstView(TComponent* root) {
  for (int i = 0; i < root->ComponentCount(); ++i)
    if (auto* view = dynamic_cast<TKV3DView*>(root->Components(i))) return view;
  return nullptr;
}

// Serves the main thread until the view's loop has built its chain.
void WaitForChain(TKV3DView* view) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (view->RenderLoop()->ChangePending() && std::chrono::steady_clock::now() < end) {
    Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool WriteScreenshot(TKV3DView* view, const std::string& fileName) {
  const ddraw::PixelImage shown =
      view->FullScreen() ? ddraw::ReadScreenPixels() : ddraw::ReadSurfacePixels(view->BackSurface());
  if (shown.width == 0) return false;
  image::Image picture;
  picture.width = shown.width;
  picture.height = shown.height;
  picture.pixels.reserve(shown.pixels.size());
  for (std::uint32_t p : shown.pixels) picture.pixels.push_back(0xFF000000u | p);
  std::vector<std::uint8_t> png;
  if (!image::EncodePng(picture, png)) return false;
  std::ofstream out(fileName, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}

// Draws `count` frames; returns the measured rate in frames per second.
double DrawFrames(TKV3DView* view, int count) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    Application().ProcessMessages();
    view->Render();
  }
  const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  return spent.count() > 0 ? count / spent.count() : 0.0;
}

// Picks at a client position of the view and prints each object by layer.
void ReportPick(TKV3DView* view, int x, int y) {
  view->GenPick(x, y);
  const std::vector<TKV3DObject*> picked = view->PickedList();
  std::printf("picked at %d,%d: %zu object(s)\n", x, y, picked.size());
  for (std::size_t layer = 0; layer < picked.size(); ++layer)
    std::printf("  layer %zu: %s\n", layer, picked[layer]->Name().c_str());
  std::fflush(stdout);
}

// Runs the window until it is closed; returns the last frame rate the
// view's loop reported (it reads 0 once the loop has stopped).
double ShowUntilClosed(TKV3DView* view) {
  // A click on the view reports what lies under it, unless the form
  // handles clicks itself.
  if (!view->OnMouseDown.Assigned())
    view->OnMouseDown = [view](TObject*, TMouseButton, TShiftState, int x, int y) { ReportPick(view, x, y); };
  int lastRate = 0;
  Application().OnIdle = [view, &lastRate](TObject*, bool&) {
    if (view->GetFPS() > 0) lastRate = view->GetFPS();
  };
  view->SetAutoRender(true);
  Application().Run();
  view->SetAutoRender(false);
  Application().OnIdle = nullptr;
  return lastRate;
}

int Finish(const Options& options, TForm* form, TKV3DView* view, bool autoRender, double measured) {
  int status = 0;
  if (options.pick) ReportPick(view, options.pick->first, options.pick->second);
  std::string shot = options.screenshot;
  if (shot.empty() && options.formFile.empty() && options.headless) shot = "demo.png";
  if (!shot.empty() && !WriteScreenshot(view, shot)) status = Fail("cannot write the screenshot " + shot);
  if (options.printFps) {
    // Counted runs measure around their frames (the view's own count is
    // refreshed once a second); a window reports its loop's last rate.
    std::printf("%.1f frames per second\n", measured);
  }
  if (view->FullScreen()) view->SetFullScreen(false);
  // The form is written as it was given, with its own AutoRender.
  view->SetAutoRender(autoRender);
  if (!options.saveForm.empty() && !WriteComponentResFile(options.saveForm, form))
    status = Fail(LastErrorText());
  return status;
}
}  // namespace

int Run(const Options& options) {
  platform::SelectBackend(options.headless ? platform::BackendKind::Headless : platform::BackendKind::Auto);
  Register();
  // Files the form names that cannot be had: said on stderr, the rest shows.
  SetFileReportHandler([](const std::string& text) { std::fprintf(stderr, "kv3dview: %s\n", text.c_str()); });
  std::unique_ptr<TComponent> root = ReadForm(options);
  if (!root) return Fail(LastErrorText());
  auto* form = dynamic_cast<TForm*>(root.get());
  TKV3DView* view = form != nullptr ? FirstView(form) : nullptr;
  if (view == nullptr) return Fail("the form holds no TKV3DView");
  if (options.listModes) {
    for (const std::string& mode : view->AvailableDisplayModes()) std::printf("%s\n", mode.c_str());
    return 0;
  }
  // Counted frames are drawn here, one Render each.
  const bool counted = options.frames.has_value() || options.headless;
  const bool autoRender = view->AutoRender();
  if (counted) view->SetAutoRender(false);
  if (options.width > 0) {
    form->SetClientWidth(options.width);
    form->SetClientHeight(options.height);
  }
  form->Show();
  WaitForChain(view);
  if (!options.fullScreenMode.empty()) {
    if (!view->DisplayModeStr(options.fullScreenMode) || view->GetDisplayMode() != options.fullScreenMode)
      return Fail("display mode " + options.fullScreenMode + " is not offered (see --list-modes)", 2);
    view->SetFullScreen(true);
  }
  double measured = 0;
  if (counted) {
    measured = DrawFrames(view, options.frames.value_or(1));
  } else {
    measured = ShowUntilClosed(view);
  }
  return Finish(options, form, view, autoRender, measured);
}

}  // namespace kv::viewer
