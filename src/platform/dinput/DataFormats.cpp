#include "korvane3d/platform/dinput/DataFormats.h"

#include <array>

namespace kv {

namespace {

constexpr DWORD kAxis = DIDFT_AXIS | DIDFT_ANYINSTANCE;
constexpr DWORD kButton = DIDFT_BUTTON | DIDFT_ANYINSTANCE;

constexpr std::array<DIOBJECTDATAFORMAT, 7> kMouseObjects{{
    {&GUID_XAxis, DIMOFS_X, kAxis, 0},
    {&GUID_YAxis, DIMOFS_Y, kAxis, 0},
    {&GUID_ZAxis, DIMOFS_Z, kAxis | DIDFT_OPTIONAL, 0},
    {nullptr, DIMOFS_BUTTON0, kButton, 0},
    {nullptr, DIMOFS_BUTTON1, kButton, 0},
    {nullptr, DIMOFS_BUTTON2, kButton | DIDFT_OPTIONAL, 0},
    {nullptr, DIMOFS_BUTTON3, kButton | DIDFT_OPTIONAL, 0},
}};

constexpr std::array<DIOBJECTDATAFORMAT, DIKEYBOARD_STATE_SIZE> MakeKeyboardObjects() {
  std::array<DIOBJECTDATAFORMAT, DIKEYBOARD_STATE_SIZE> objects{};
  for (DWORD key = 0; key < objects.size(); ++key) {
    objects[key] = {&GUID_Key, key, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(key), 0};
  }
  return objects;
}
constexpr std::array<DIOBJECTDATAFORMAT, DIKEYBOARD_STATE_SIZE> kKeyboardObjects = MakeKeyboardObjects();

bool SameGuid(const GUID* a, const GUID* b) {
  if (!a || !b) return a == b;
  return *a == *b;
}

bool SameObject(const DIOBJECTDATAFORMAT& a, const DIOBJECTDATAFORMAT& b) {
  return SameGuid(a.pguid, b.pguid) && a.dwOfs == b.dwOfs && a.dwType == b.dwType && a.dwFlags == b.dwFlags;
}

}  // namespace

const DIDATAFORMAT c_dfDIMouse{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS,
                               sizeof(DIMOUSESTATE),  kMouseObjects.size(),       kMouseObjects.data()};

const DIDATAFORMAT c_dfDIKeyboard{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0,
                                  DIKEYBOARD_STATE_SIZE, kKeyboardObjects.size(),    kKeyboardObjects.data()};

namespace dinput {

bool SameFormat(const DIDATAFORMAT& given, const DIDATAFORMAT& standard) {
  if (&given == &standard) return true;
  const bool sizesKnown =
      (given.dwSize == sizeof(DIDATAFORMAT) || given.dwSize == DIDATAFORMAT_WIN32_SIZE) &&
      (given.dwObjSize == sizeof(DIOBJECTDATAFORMAT) || given.dwObjSize == DIOBJECTDATAFORMAT_WIN32_SIZE);
  if (!sizesKnown || given.dwFlags != standard.dwFlags || given.dwDataSize != standard.dwDataSize ||
      given.dwNumObjs != standard.dwNumObjs || !given.rgodf) {
    return false;
  }
  for (DWORD i = 0; i < standard.dwNumObjs; ++i) {
    if (!SameObject(given.rgodf[i], standard.rgodf[i])) return false;
  }
  return true;
}

}  // namespace dinput

}  // namespace kv
