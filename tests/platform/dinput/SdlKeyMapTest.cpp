// The SDL scancode to DirectInput scan code table.
#include <gtest/gtest.h>

#include <SDL2/SDL_scancode.h>

#include <map>

#include "korvane3d/platform/dinput/DIKeys.h"
#include "korvane3d/platform/dinput/SdlKeyMap.h"

namespace kv::dinput {
namespace {

TEST(SdlKeyMap, EveryKeyOfAFullKeyboardHasItsOwnCode) {
  // Two SDL keys may share a code only where they are one physical key or
  // one function under two names.
  const std::multimap<BYTE, int> allowedTwins = {{DIK_BACKSLASH, SDL_SCANCODE_NONUSHASH},
                                                 {DIK_MUTE, SDL_SCANCODE_AUDIOMUTE},
                                                 {DIK_SYSRQ, SDL_SCANCODE_SYSREQ}};
  std::map<BYTE, int> seen;
  int mapped = 0;
  for (int sdl = 0; sdl < SDL_NUM_SCANCODES; ++sdl) {
    const BYTE dik = DikFromSdlScancode(sdl);
    if (dik == 0) continue;
    ++mapped;
    auto [it, fresh] = seen.emplace(dik, sdl);
    if (fresh) continue;
    bool allowed = false;
    for (auto [a, b] = allowedTwins.equal_range(dik); a != b; ++a) allowed = allowed || a->second == sdl;
    EXPECT_TRUE(allowed) << "SDL " << sdl << " and " << it->second << " both give " << int(dik);
  }
  // 104 keys of a full PC keyboard plus the international and media keys.
  EXPECT_GE(mapped, 120);
  // Extended keys carry 0x80 over the key they extend; unknown ones give 0.
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_KP_ENTER), DIK_RETURN | 0x80);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_RCTRL), DIK_LCONTROL | 0x80);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_UNKNOWN), 0);
  EXPECT_EQ(DikFromSdlScancode(SDL_NUM_SCANCODES), 0);
}

}  // namespace
}  // namespace kv::dinput
