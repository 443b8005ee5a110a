// The view's display modes: the table of mode texts, the list of the modes
// the display offers, and choosing the full-screen mode.
#include <algorithm>
#include <array>
#include <tuple>

#include "korvane3d/package/Kv.h"
#include "korvane3d/view/Kv3dview.h"

namespace kv {

namespace {
// The texts, in the order of TDisplayMode.
constexpr std::array<const char*, kDisplayModeCount> kModeTexts = {
    "640x480x16",   "320x200x16",   "320x200x24",   "320x200x32",   "320x240x16",   "320x240x24",
    "320x240x32",   "400x300x16",   "400x300x24",   "400x300x32",   "512x384x16",   "512x384x24",
    "512x384x32",   "640x400x16",   "640x400x24",   "640x400x32",   "640x480x24",   "640x480x32",
    "800x600x16",   "800x600x24",   "800x600x32",   "1024x768x16",  "1024x768x24",  "1024x768x32",
    "1152x864x16",  "1152x864x24",  "1152x864x32",  "1280x1024x16", "1280x1024x24", "1280x1024x32",
    "1600x1200x16", "1600x1200x24", "1600x1200x32"};

std::vector<std::string> EnumeratorNames() {
  std::vector<std::string> names;
  for (const char* text : kModeTexts) names.push_back(std::string("dm") + text);
  return names;
}

struct ModeListFiller {
  TStringList* list;
  std::vector<std::unique_ptr<TDisplayRec>>* recs;
};

HRESULT AddOfferedMode(DDSURFACEDESC2* desc, LPVOID context) {
  auto* filler = static_cast<ModeListFiller*>(context);
  const int bits = static_cast<int>(desc->ddpfPixelFormat.dwRGBBitCount);
  // Palette modes cannot carry the device's RGB formats.
  if (bits <= 8) return DDENUMRET_OK;
  const int width = static_cast<int>(desc->dwWidth);
  const int height = static_cast<int>(desc->dwHeight);
  const std::string text = std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bits);
  if (filler->list->IndexOf(text) >= 0) return DDENUMRET_OK;
  filler->recs->push_back(std::make_unique<TDisplayRec>(width, height, bits));
  filler->list->AddObject(text, filler->recs->back().get());
  return DDENUMRET_OK;
}
}  // namespace

const EnumInfo kDisplayModeInfo{"TDisplayMode", EnumeratorNames()};

std::string DisplayModeText(int ordinal) {
  if (ordinal < 0 || ordinal >= kDisplayModeCount) return {};
  return kModeTexts[static_cast<std::size_t>(ordinal)];
}

void TKV3DView::FillModeList() {
  if (modeList_.Count() > 0 || chain_->DirectDraw() == nullptr) return;
  ModeListFiller filler{&modeList_, &modeRecs_};
  LastDXResult = chain_->DirectDraw()->EnumDisplayModes(0, nullptr, &filler, &AddOfferedMode);
}

std::vector<std::string> TKV3DView::AvailableDisplayModes() const {
  // The list is kept in text order for lookups; callers get numeric order
  // (width, height, bits), so 1024x768 follows 800x600.
  std::vector<int> order;
  for (int i = 0; i < modeList_.Count(); ++i) order.push_back(i);
  const auto numbers = [this](int index) {
    const auto* rec = static_cast<const TDisplayRec*>(modeList_.Objects(index));
    return rec != nullptr ? std::tuple(rec->Width, rec->Height, rec->BitsPerPixel) : std::tuple(0, 0, 0);
  };
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return numbers(a) < numbers(b); });
  std::vector<std::string> texts;
  for (int index : order) texts.push_back(modeList_.Strings(index));
  return texts;
}

bool TKV3DView::CheckDisplayModeValid(const std::string& text) {
  int index = -1;
  if (!displayRec_ || !modeList_.Find(text, index)) return false;
  const auto* found = static_cast<const TDisplayRec*>(modeList_.Objects(index));
  if (found == nullptr) return false;
  displayRec_->Width = found->Width;
  displayRec_->Height = found->Height;
  displayRec_->BitsPerPixel = found->BitsPerPixel;
  return true;
}

void TKV3DView::SetDisplayMode(TDisplayMode mode) {
  if (mode == displayMode_) return;
  if (!CheckDisplayModeValid(DisplayModeText(mode))) return;
  displayMode_ = mode;
  if (fullScreen_) RequestViewportChange();
}

std::string TKV3DView::GetDisplayMode() const { return DisplayModeText(displayMode_); }

bool TKV3DView::DisplayModeStr(const std::string& text) {
  int wanted = displayMode_;
  for (int i = 0; i < kDisplayModeCount; ++i) {
    if (text == kModeTexts[static_cast<std::size_t>(i)]) wanted = i;
  }
  SetDisplayMode(static_cast<TDisplayMode>(wanted));
  return displayMode_ == wanted;
}

}  // namespace kv
