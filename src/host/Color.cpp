#include "korvane3d/host/Color.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <limits>
#include <utility>

#include "korvane3d/host/TypeInfo.h"

namespace kv {

namespace {
constexpr std::array<std::pair<TColor, std::string_view>, 43> kColorNames{{
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
}};
}  // namespace

std::string_view ColorName(TColor color) {
  for (const auto& [value, name] : kColorNames) {
    if (value == color) return name;
  }
  return {};
}

std::string ColorToString(TColor color) {
  if (std::string_view name = ColorName(color); !name.empty()) return std::string(name);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "$%08X", static_cast<unsigned>(color));
  return buffer;
}

bool StringToColor(std::string_view text, TColor& color) {
  for (const auto& [value, name] : kColorNames) {
    if (SameText(name, text)) {
      color = value;
      return true;
    }
  }
  bool negative = false;
  int base = 10;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  }
  std::uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return false;
  if (negative) {
    if (magnitude > std::uint64_t{1} << 31) return false;
    color = static_cast<TColor>(-static_cast<std::int64_t>(magnitude));
    return true;
  }
  if (magnitude > std::numeric_limits<std::uint32_t>::max()) return false;
  color = static_cast<TColor>(magnitude);
  return true;
}

}  // namespace kv
