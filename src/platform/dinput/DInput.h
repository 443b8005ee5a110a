// DirectInput for the system mouse and keyboard: the names, values and
// structure layouts the input components are written against. Behind them
// sits one of two input sources chosen when the first device is created:
// SDL2 (real mouse and keyboard of the process's windows) or the headless,
// programmable source (HeadlessInput.h) that tests and scripted demos feed.
//
// Threads: every call may be made from any thread. Input arrives on the main
// thread (SDL) or on the thread that feeds the headless source, and each
// device guards its buffer and state with its own lock. SetCooperativeLevel
// asks the window system about the window and belongs on the main thread.
// A polling thread that wants to sleep until input arrives attaches an
// InputEvent (InputEvent.h) to the device.
#pragma once

#include <cstddef>

#include "korvane3d/platform/dinput/DIKeys.h"
#include "korvane3d/platform/win/HResult.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/platform/win/WinTypes.h"

namespace kv {

// ---- Versions ---------------------------------------------------------------
// DirectInputCreateA accepts the released DirectInput versions 0x0300, 0x0500,
// 0x050A, 0x05B2, 0x0602, 0x061A and 0x0700. Other values up to 0x0700 name a
// prerelease (DIERR_BETADIRECTINPUTVERSION); later ones need a newer
// DirectInput than this one (DIERR_OLDDIRECTINPUTVERSION).
inline constexpr DWORD DIRECTINPUT_VERSION = 0x0500;
inline constexpr DWORD DIRECTINPUT_HIGHEST_VERSION = 0x0700;

// ---- GUIDs --------------------------------------------------------------------
inline constexpr GUID GUID_SysMouse = MakeGuid(0x6F1D2B60, 0xD5A0, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
inline constexpr GUID GUID_SysKeyboard = MakeGuid(0x6F1D2B61, 0xD5A0, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
inline constexpr GUID GUID_XAxis = MakeGuid(0xA36D02E0, 0xC9F3, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
inline constexpr GUID GUID_YAxis = MakeGuid(0xA36D02E1, 0xC9F3, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
inline constexpr GUID GUID_ZAxis = MakeGuid(0xA36D02E2, 0xC9F3, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
inline constexpr GUID GUID_Key = MakeGuid(0x55728220, 0xD33C, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);

inline constexpr IID IID_IDirectInputA = MakeGuid(0x89521360, 0xAA8A, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
inline constexpr IID IID_IDirectInputDeviceA = MakeGuid(0x5944E680, 0xC92E, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
inline constexpr IID IID_IDirectInputDevice2A = MakeGuid(0x5944E682, 0xC92E, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);

// ---- Data formats -------------------------------------------------------------
struct DIOBJECTDATAFORMAT {
  const GUID* pguid;  // null: any kind of object of the given type
  DWORD dwOfs;        // where the object's value goes in the device state
  DWORD dwType;       // DIDFT_* type, instance and optional flag
  DWORD dwFlags;
};
using LPCDIOBJECTDATAFORMAT = const DIOBJECTDATAFORMAT*;

struct DIDATAFORMAT {
  DWORD dwSize;      // size of this structure
  DWORD dwObjSize;   // size of one DIOBJECTDATAFORMAT
  DWORD dwFlags;     // DIDF_*
  DWORD dwDataSize;  // size of the device state
  DWORD dwNumObjs;
  LPCDIOBJECTDATAFORMAT rgodf;
};
using LPCDIDATAFORMAT = const DIDATAFORMAT*;

// The two sizes as a 32-bit Windows program records them in dwSize and
// dwObjSize. SetDataFormat accepts these as well as this platform's sizeof.
inline constexpr DWORD DIDATAFORMAT_WIN32_SIZE = 24;
inline constexpr DWORD DIOBJECTDATAFORMAT_WIN32_SIZE = 16;

inline constexpr DWORD DIDF_ABSAXIS = 0x00000001;
inline constexpr DWORD DIDF_RELAXIS = 0x00000002;

inline constexpr DWORD DIDFT_RELAXIS = 0x00000001;
inline constexpr DWORD DIDFT_ABSAXIS = 0x00000002;
inline constexpr DWORD DIDFT_AXIS = 0x00000003;
inline constexpr DWORD DIDFT_PSHBUTTON = 0x00000004;
inline constexpr DWORD DIDFT_TGLBUTTON = 0x00000008;
inline constexpr DWORD DIDFT_BUTTON = 0x0000000C;
inline constexpr DWORD DIDFT_ANYINSTANCE = 0x00FFFF00;
inline constexpr DWORD DIDFT_OPTIONAL = 0x80000000;
constexpr DWORD DIDFT_MAKEINSTANCE(DWORD n) { return (n & 0xFFFF) << 8; }

// The device state of the standard mouse format: three relative axes since
// the last read, then four buttons (high bit set = pressed).
struct DIMOUSESTATE {
  LONG lX;
  LONG lY;
  LONG lZ;
  BYTE rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16);

inline constexpr DWORD DIMOFS_X = offsetof(DIMOUSESTATE, lX);
inline constexpr DWORD DIMOFS_Y = offsetof(DIMOUSESTATE, lY);
inline constexpr DWORD DIMOFS_Z = offsetof(DIMOUSESTATE, lZ);
inline constexpr DWORD DIMOFS_BUTTON0 = offsetof(DIMOUSESTATE, rgbButtons) + 0;
inline constexpr DWORD DIMOFS_BUTTON1 = offsetof(DIMOUSESTATE, rgbButtons) + 1;
inline constexpr DWORD DIMOFS_BUTTON2 = offsetof(DIMOUSESTATE, rgbButtons) + 2;
inline constexpr DWORD DIMOFS_BUTTON3 = offsetof(DIMOUSESTATE, rgbButtons) + 3;

// The keyboard's device state is 256 bytes indexed by DIK_* scan code.
inline constexpr DWORD DIKEYBOARD_STATE_SIZE = 256;

// DirectInput's standard formats. SetDataFormat takes exactly these (the
// mouse format on a mouse, the keyboard format on a keyboard), given either
// as these objects or as equal copies of them.
extern const DIDATAFORMAT c_dfDIMouse;
extern const DIDATAFORMAT c_dfDIKeyboard;

// ---- Buffered data --------------------------------------------------------------
struct DIDEVICEOBJECTDATA {
  DWORD dwOfs;        // DIMOFS_* for the mouse, the DIK_* scan code for the keyboard
  DWORD dwData;       // axis: the signed relative movement; button/key: 0x80 down, 0 up
  DWORD dwTimeStamp;  // milliseconds, on GetTickCount's clock
  DWORD dwSequence;   // one counter for all devices; simultaneous changes share it
};
static_assert(sizeof(DIDEVICEOBJECTDATA) == 16);
using LPDIDEVICEOBJECTDATA = DIDEVICEOBJECTDATA*;

inline constexpr DWORD DIGDD_PEEK = 0x00000001;
inline constexpr DWORD INFINITE = 0xFFFFFFFF;

// The number of records a device buffer holds at most. A larger
// DIPROP_BUFFERSIZE is lowered to this, and GetProperty reports the size in
// effect, as DirectInput does with a size its device cannot support.
inline constexpr DWORD DIBUFFERSIZE_MAX = 1024;

// ---- Properties ------------------------------------------------------------------
struct DIPROPHEADER {
  DWORD dwSize;        // size of the whole property structure
  DWORD dwHeaderSize;  // sizeof(DIPROPHEADER)
  DWORD dwObj;         // 0 with DIPH_DEVICE
  DWORD dwHow;         // DIPH_*
};
using LPDIPROPHEADER = DIPROPHEADER*;
using LPCDIPROPHEADER = const DIPROPHEADER*;

struct DIPROPDWORD {
  DIPROPHEADER diph;
  DWORD dwData;
};
static_assert(sizeof(DIPROPHEADER) == 16 && sizeof(DIPROPDWORD) == 20);

inline constexpr DWORD DIPH_DEVICE = 0;
inline constexpr DWORD DIPH_BYOFFSET = 1;
inline constexpr DWORD DIPH_BYID = 2;

// Predefined properties are named by small numbers on Windows; here each is
// a GUID whose first field is that number and whose other fields are zero.
constexpr GUID MakeDiProp(DWORD number) { return GUID{number, 0, 0, {}}; }
inline constexpr GUID DIPROP_BUFFERSIZE = MakeDiProp(1);

// ---- Cooperative levels -------------------------------------------------------
inline constexpr DWORD DISCL_EXCLUSIVE = 0x00000001;
inline constexpr DWORD DISCL_NONEXCLUSIVE = 0x00000002;
inline constexpr DWORD DISCL_FOREGROUND = 0x00000004;
inline constexpr DWORD DISCL_BACKGROUND = 0x00000008;

// ---- Interfaces -------------------------------------------------------------------
class IDirectInputDeviceA : public IUnknown {
 public:
  // DIPROP_BUFFERSIZE through a DIPROPDWORD (DIPH_DEVICE, object 0).
  virtual HRESULT GetProperty(REFGUID property, LPDIPROPHEADER header) = 0;
  // DIPROP_BUFFERSIZE: the number of records the device keeps; 0 (the
  // initial value) leaves the device unbuffered. Not while acquired.
  virtual HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) = 0;
  // Starts collecting input: the buffer and the relative axes start empty,
  // buttons and keys held at this moment read as held. DI_NOEFFECT when
  // already acquired; DIERR_OTHERAPPHASPRIO when a foreground device's window
  // lacks the focus or another device holds the same device exclusively.
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;  // DI_NOEFFECT when not acquired
  // The device state in the set data format; cbData must be its size.
  virtual HRESULT GetDeviceState(DWORD cbData, LPVOID data) = 0;
  // Takes (or with DIGDD_PEEK copies) up to *inOut records, oldest first.
  // rgdod may be null: then nothing is copied but the records are taken all
  // the same (with *inOut = INFINITE this flushes the buffer).
  // DI_BUFFEROVERFLOW: input arrived while the buffer was full and was lost;
  // the records returned are the oldest ones, which were kept.
  virtual HRESULT GetDeviceData(DWORD cbObjectData, LPDIDEVICEOBJECTDATA rgdod, DWORD* inOut,
                                DWORD flags) = 0;
  virtual HRESULT SetDataFormat(LPCDIDATAFORMAT format) = 0;
  virtual HRESULT SetCooperativeLevel(HWND wnd, DWORD flags) = 0;
};
using LPDIRECTINPUTDEVICEA = IDirectInputDeviceA*;

class IDirectInputDevice2A : public IDirectInputDeviceA {
 public:
  // Mouse and keyboard deliver their input by themselves: DI_NOEFFECT while
  // acquired, the read errors otherwise.
  virtual HRESULT Poll() = 0;
};

class IDirectInputA : public IUnknown {
 public:
  // GUID_SysMouse or GUID_SysKeyboard; no aggregation.
  virtual HRESULT CreateDevice(REFGUID device, LPDIRECTINPUTDEVICEA* out, IUnknown* outer) = 0;
  // DI_OK for the two system devices, DIERR_DEVICENOTREG otherwise.
  virtual HRESULT GetDeviceStatus(REFGUID device) = 0;
};
using LPDIRECTINPUTA = IDirectInputA*;

// The instance handle is not needed here and may be null.
HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, LPDIRECTINPUTA* out, IUnknown* outer);

}  // namespace kv
