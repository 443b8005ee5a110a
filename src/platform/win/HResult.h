// HRESULT codes of the platform layers (DirectDraw, Direct3D, DirectInput),
// of the retained-mode engine, and the common COM codes.
#pragma once

#include "korvane3d/platform/win/WinTypes.h"

namespace kv {

#define KV_HRESULT(name, value, text) inline constexpr HRESULT name = static_cast<HRESULT>(value##u);
#include "korvane3d/platform/win/HResultList.inc"
#undef KV_HRESULT

// Aliases Windows defines in terms of other codes.
inline constexpr HRESULT DD_OK = S_OK;
inline constexpr HRESULT D3D_OK = S_OK;
inline constexpr HRESULT D3DRM_OK = S_OK;
inline constexpr HRESULT DI_OK = S_OK;
inline constexpr HRESULT DI_NOTATTACHED = S_FALSE;
inline constexpr HRESULT DI_BUFFEROVERFLOW = S_FALSE;
inline constexpr HRESULT DI_PROPNOEFFECT = S_FALSE;
inline constexpr HRESULT DI_NOEFFECT = S_FALSE;
inline constexpr HRESULT DDERR_GENERIC = E_FAIL;
inline constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
inline constexpr HRESULT DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT DDERR_UNSUPPORTED = E_NOTIMPL;
inline constexpr HRESULT DDERR_NOTINITIALIZED = CO_E_NOTINITIALIZED;
inline constexpr HRESULT DIERR_OBJECTNOTFOUND = DIERR_NOTFOUND;
inline constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
inline constexpr HRESULT DIERR_NOINTERFACE = E_NOINTERFACE;
inline constexpr HRESULT DIERR_GENERIC = E_FAIL;
inline constexpr HRESULT DIERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT DIERR_UNSUPPORTED = E_NOTIMPL;
inline constexpr HRESULT DIERR_NOAGGREGATION = CLASS_E_NOAGGREGATION;
inline constexpr HRESULT DIERR_OTHERAPPHASPRIO = E_ACCESSDENIED;
inline constexpr HRESULT DIERR_READONLY = E_ACCESSDENIED;
inline constexpr HRESULT DIERR_HANDLEEXISTS = E_ACCESSDENIED;
inline constexpr HRESULT DIERR_DEVICENOTREG = REGDB_E_CLASSNOTREG;
inline constexpr HRESULT DIERR_PENDING = E_PENDING;

}  // namespace kv
