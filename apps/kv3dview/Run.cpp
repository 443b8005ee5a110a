#include "Run.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "DemoControls.h"
#include "DemoForm.h"
#include "FrameRateOverlay.h"
#include "MeshForm.h"
#include "StopSignals.h"
#include "ViewerForm.h"
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
// Says what went wrong on stderr; returns the exit status.
int Complain(const std::string& message, int status = 1) {
  std::fprintf(stderr, "kv3dview: %s\n", message.c_str());
  return status;
}

// Frames drawn off screen when --frames does not say.
constexpr int kOffScreenFrames = 90;

// The demo, a mesh file, or a form file. Every form the viewer reads knows
// the demo's camera-control handlers, so a form written back from the demo
// (or one of the user's own that names them) runs as well.
std::unique_ptr<ViewerForm> ReadForm(const Options& options) {
  if (!options.formFile.empty() && IsMeshFile(options.formFile)) return MakeMeshForm(options.formFile);
  auto form = std::make_unique<ViewerForm>(nullptr);
  if (options.formFile.empty()) return ReadDemoForm(*form) ? std::move(form) : nullptr;
  RegisterDemoControls(*form);
  return ReadComponentResFile(options.formFile, form.get()) ? std::move(form) : nullptr;
}

// Off screen the last frame is always written: where --screenshot says,
// else demo.png for the demo and NAME.png for NAME.kvf or NAME.x, in the
// current folder.
std::string ScreenshotFile(const Options& options, bool offScreen) {
  if (!options.screenshot.empty() || !offScreen) return options.screenshot;
  if (options.formFile.empty()) return "demo.png";
  return std::filesystem::path(options.formFile).stem().string() + ".png";
}

TKV3DView* FirstView(TComponent* root) {
  for (int i = 0; i < root->ComponentCount(); ++i)
    if (auto* view = dynamic_cast<TKV3DView*>(root->Components(i))) return view;
  return nullptr;
}

// Writes what a window showed as a PNG; false with the reason in
// LastErrorText().
bool WriteShown(const ddraw::PixelImage& shown, const std::string& fileName) {
  if (shown.width == 0) return kv::Fail("the window showed nothing");
  image::Image picture;
  picture.width = shown.width;
  picture.height = shown.height;
  picture.pixels.reserve(shown.pixels.size());
  for (std::uint32_t p : shown.pixels) picture.pixels.push_back(0xFF000000u | p);
  if (const image::Result saved = image::SavePng(fileName, picture); !saved) return kv::Fail(saved.message);
  return true;
}

// Draws `count` frames, fewer when the viewer is asked to stop (Esc, a
// signal); returns the measured rate in frames per second.
double DrawFrames(TKV3DView* view, int count, const StopSignals& stop) {
  const auto start = std::chrono::steady_clock::now();
  int drawn = 0;
  for (; drawn < count; ++drawn) {
    Application().ProcessMessages();
    if (stop.Requested() || Application().Terminated()) break;
    view->Render();
  }
  const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  return spent.count() > 0 ? drawn / spent.count() : 0.0;
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
// view's loop reported (it reads 0 once the loop has stopped) and leaves in
// `last` what the view showed as its form was closed (the window is gone
// by the time the session ends).
double ShowUntilClosed(TForm* form, TKV3DView* view, std::optional<ddraw::PixelImage>& last) {
  // A click on the view reports what lies under it, unless the form
  // handles clicks itself.
  if (!view->OnMouseDown.Assigned())
    view->OnMouseDown = [view](TObject*, TMouseButton, TShiftState, int x, int y) { ReportPick(view, x, y); };
  int lastRate = 0;
  Application().OnIdle = [view, &lastRate](TObject*, bool&) {
    if (view->GetFPS() > 0) lastRate = view->GetFPS();
  };
  // On the main thread, which presents every frame: the picture shown is
  // whole, whatever the loop draws meanwhile.
  const TEvent<TObject*, TCloseAction&> formsOwn = form->OnClose;
  form->OnClose = [&](TObject* sender, TCloseAction& action) {
    formsOwn(sender, action);
    if (action != caNone) last = view->FullScreen() ? ddraw::ReadScreenPixels() : ddraw::ReadWindowPixels(view->Handle());
  };
  view->SetAutoRender(true);
  Application().Run();
  view->SetAutoRender(false);
  form->OnClose = formsOwn;
  Application().OnIdle = nullptr;
  return lastRate;
}

// `shown`: a window's last picture; after counted frames the view's last
// frame is written.
int Finish(const Options& options, const std::string& shot, TForm* form, TKV3DView* view, bool autoRender,
           double measured, const std::optional<ddraw::PixelImage>& shown) {
  int status = 0;
  if (options.pick) ReportPick(view, options.pick->first, options.pick->second);
  if (!shot.empty() && !(shown ? WriteShown(*shown, shot) : view->SaveFrameToPNG(shot)))
    status = Complain("cannot write the screenshot " + shot + ": " + LastErrorText());
  if (options.printFps) {
    // Counted runs measure around their frames (the view's own count is
    // refreshed once a second); a window reports its loop's last rate.
    std::printf("%.1f frames per second\n", measured);
    std::printf("driver %s\n", view->DriverType() == dtHAL ? "dtHAL" : "dtRGB");
  }
  if (view->FullScreen()) view->SetFullScreen(false);
  // The form is written as it was given, with its own AutoRender.
  view->SetAutoRender(autoRender);
  if (!options.saveForm.empty() && !WriteComponentResFile(options.saveForm, form))
    status = Complain(LastErrorText());
  return status;
}
}  // namespace

int Run(const Options& options) {
  // The display layer reads the choice when the view first asks for a driver.
  if (!options.driver.empty()) setenv("KV_DRIVER", options.driver.c_str(), 1);
  const bool mesh = !options.formFile.empty() && IsMeshFile(options.formFile);
  if (mesh && !options.saveForm.empty())
    return Complain("--save-form writes forms; " + options.formFile + " is a mesh file", 2);
  const platform::BackendKind backend =
      platform::SelectBackend(options.headless ? platform::BackendKind::Headless : platform::BackendKind::Auto);
  const bool offScreen = backend == platform::BackendKind::Headless;
  Register();
  // Files the form names that cannot be had: said on stderr, the rest shows.
  SetFileReportHandler([](const std::string& text) { std::fprintf(stderr, "kv3dview: %s\n", text.c_str()); });
  // Esc, Ctrl-C and SIGTERM end the frames or the window alike; a signal
  // while a large file loads ends the session as soon as it is read.
  // Counted frames look at stop.Requested() themselves; a window is closed
  // (on the main thread, like this flag).
  std::unique_ptr<ViewerForm> form;
  bool inWindow = false;
  StopSignals stop([&form, &inWindow] {
    if (inWindow) form->Close();
  });
  form = ReadForm(options);
  if (!form) return Complain(LastErrorText());
  TKV3DView* view = FirstView(form.get());
  if (view == nullptr) return Complain("the form holds no TKV3DView");
  if (options.listModes) {
    for (const std::string& mode : view->AvailableDisplayModes()) std::printf("%s\n", mode.c_str());
    return 0;
  }
  // Counted frames are drawn here, one Render each.
  const bool counted = options.frames.has_value() || offScreen;
  const int frames = options.frames.value_or(kOffScreenFrames);
  const std::string shot = ScreenshotFile(options, offScreen);
  if (offScreen && !options.headless)
    std::fprintf(stderr, "kv3dview: no display; drawing %d frames off screen into %s\n", frames, shot.c_str());
  const bool autoRender = view->AutoRender();
  if (counted) view->SetAutoRender(false);
  // Off screen nobody watches: frames go as fast as they are drawn, so
  // --fps tells the real rate.
  if (counted && offScreen) ddraw::SetVerticalBlankWait(false);
  if (options.width > 0 && !(form->SetClientWidth(options.width) && form->SetClientHeight(options.height)))
    return Complain("--size: " + LastErrorText(), 2);
  form->Show();
  if (!view->WaitUntilReady() && !stop.Requested()) return Complain(LastErrorText());
  if (!options.fullScreenMode.empty()) {
    if (!view->DisplayModeStr(options.fullScreenMode) || view->GetDisplayMode() != options.fullScreenMode)
      return Complain("display mode " + options.fullScreenMode + " is not offered (see --list-modes)", 2);
    view->SetFullScreen(true);
  }
  double measured = 0;
  std::optional<ddraw::PixelImage> shown;
  if (!stop.Requested()) {
    // F1 shows the frame rate over the picture.
    FrameRateOverlay overlay(*view);
    form->onToggleOverlay = [&overlay] { overlay.Toggle(); };
    inWindow = !counted;
    measured = counted ? DrawFrames(view, frames, stop) : ShowUntilClosed(form.get(), view, shown);
    inWindow = false;
    form->onToggleOverlay = nullptr;
  }
  return Finish(options, shot, form.get(), view, autoRender, measured, shown);
}

}  // namespace kv::viewer
