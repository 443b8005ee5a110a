// The virtual monitor: a settable mode list, the headless screen as the
// desktop mode, and full screen that always succeeds.
#include <algorithm>
#include <mutex>

#include "korvane3d/platform/ddraw/Display.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv::ddraw {

namespace {

void SortUnique(std::vector<DisplayModeInfo>& modes) {
  std::sort(modes.begin(), modes.end());
  modes.erase(std::unique(modes.begin(), modes.end()), modes.end());
}

class HeadlessBackend final : public DisplayBackend {
 public:
  std::vector<DisplayModeInfo> Modes() override {
    std::lock_guard lock(mutex_);
    return modes_;
  }
  DisplayModeInfo DesktopMode() override {
    return DisplayModeInfo{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 32, 60};
  }
  bool EnterFullScreen(HWND, const DisplayModeInfo&) override { return true; }
  void LeaveFullScreen(HWND) override {}

  void SetModes(std::vector<DisplayModeInfo> modes) {
    SortUnique(modes);
    std::lock_guard lock(mutex_);
    modes_ = std::move(modes);
  }

 private:
  std::mutex mutex_;
  std::vector<DisplayModeInfo> modes_ = DefaultDisplayModes();
};

HeadlessBackend& Headless() {
  static HeadlessBackend backend;
  return backend;
}

}  // namespace

DisplayBackend& HeadlessDisplayBackend() { return Headless(); }

std::vector<DisplayModeInfo> DefaultDisplayModes() {
  static constexpr int kSizes[][2] = {{320, 200}, {320, 240},  {512, 384},  {640, 400},  {640, 480},
                                      {800, 600}, {1024, 768}, {1152, 864}, {1280, 1024}};
  std::vector<DisplayModeInfo> modes;
  for (const auto& size : kSizes)
    for (int bits : {8, 16, 24, 32}) modes.push_back(DisplayModeInfo{size[0], size[1], bits, 60});
  SortUnique(modes);
  return modes;
}

void SetHeadlessDisplayModes(std::vector<DisplayModeInfo> modes) { Headless().SetModes(std::move(modes)); }

void ResetHeadlessDisplay() {
  Headless().SetModes(DefaultDisplayModes());
  Display::Instance().ResetHooks();
}

}  // namespace kv::ddraw
