// The DirectInput object: version check and device creation.
#include <algorithm>
#include <array>

#include "korvane3d/platform/dinput/DInput.h"
#include "korvane3d/platform/dinput/Device.h"

namespace kv {

namespace dinput {
namespace {

constexpr std::array<DWORD, 7> kReleasedVersions = {0x0300, 0x0500, 0x050A, 0x05B2, 0x0602, 0x061A, 0x0700};

class DirectInput final : public IDirectInputA, public RefCount {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDirectInputA) return E_NOINTERFACE;
    *object = static_cast<IDirectInputA*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  HRESULT CreateDevice(REFGUID device, LPDIRECTINPUTDEVICEA* out, IUnknown* outer) override {
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DIERR_NOAGGREGATION;
    if (device == GUID_SysMouse) {
      *out = new Device(DeviceKind::Mouse);
    } else if (device == GUID_SysKeyboard) {
      *out = new Device(DeviceKind::Keyboard);
    } else {
      return DIERR_DEVICENOTREG;
    }
    return DI_OK;
  }

  HRESULT GetDeviceStatus(REFGUID device) override {
    return device == GUID_SysMouse || device == GUID_SysKeyboard ? DI_OK : DIERR_DEVICENOTREG;
  }
};

}  // namespace
}  // namespace dinput

HRESULT DirectInputCreateA(HINSTANCE /*instance*/, DWORD version, LPDIRECTINPUTA* out, IUnknown* outer) {
  if (!out) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (version > DIRECTINPUT_HIGHEST_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
  if (std::ranges::find(kv::dinput::kReleasedVersions, version) == kv::dinput::kReleasedVersions.end()) {
    return DIERR_BETADIRECTINPUTVERSION;
  }
  if (outer) return DIERR_NOAGGREGATION;
  *out = new kv::dinput::DirectInput();
  return DI_OK;
}

}  // namespace kv
