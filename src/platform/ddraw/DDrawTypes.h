// DirectDraw's structures and flag values, with DirectX 6's names, member
// names and values. The structures keep Windows' member order; only
// DDSURFACEDESC2 and DDBLTFX differ in size, because they hold pointers
// (see DDSURFACEDESC2 for what that means for dwSize).
#pragma once

#include "korvane3d/platform/win/WinTypes.h"

namespace kv {

class IDirectDrawSurface4;

// ---- Pixel formats ---------------------------------------------------------
constexpr DWORD DDPF_ALPHAPIXELS = 0x00000001;
constexpr DWORD DDPF_ALPHA = 0x00000002;
constexpr DWORD DDPF_FOURCC = 0x00000004;
constexpr DWORD DDPF_PALETTEINDEXED4 = 0x00000008;
constexpr DWORD DDPF_PALETTEINDEXEDTO8 = 0x00000010;
constexpr DWORD DDPF_PALETTEINDEXED8 = 0x00000020;
constexpr DWORD DDPF_RGB = 0x00000040;
constexpr DWORD DDPF_COMPRESSED = 0x00000080;
constexpr DWORD DDPF_RGBTOYUV = 0x00000100;
constexpr DWORD DDPF_YUV = 0x00000200;
constexpr DWORD DDPF_ZBUFFER = 0x00000400;
constexpr DWORD DDPF_PALETTEINDEXED1 = 0x00000800;
constexpr DWORD DDPF_PALETTEINDEXED2 = 0x00001000;
constexpr DWORD DDPF_ZPIXELS = 0x00002000;
constexpr DWORD DDPF_STENCILBUFFER = 0x00004000;
constexpr DWORD DDPF_ALPHAPREMULT = 0x00008000;
constexpr DWORD DDPF_LUMINANCE = 0x00020000;

// 32 bytes, as on Windows. For DDPF_RGB the masks say where red, green and
// blue sit in a little-endian pixel; for DDPF_ZBUFFER dwZBufferBitDepth is
// the bits per pixel and dwZBitMask the depth bits (a depth buffer of more
// than 16 bits takes 4 bytes per pixel).
struct DDPIXELFORMAT {
  DWORD dwSize = 0;
  DWORD dwFlags = 0;
  DWORD dwFourCC = 0;
  union {
    DWORD dwRGBBitCount = 0;
    DWORD dwYUVBitCount;
    DWORD dwZBufferBitDepth;
    DWORD dwAlphaBitDepth;
    DWORD dwLuminanceBitCount;
  };
  union {
    DWORD dwRBitMask = 0;
    DWORD dwYBitMask;
    DWORD dwStencilBitDepth;
    DWORD dwLuminanceBitMask;
  };
  union {
    DWORD dwGBitMask = 0;
    DWORD dwUBitMask;
    DWORD dwZBitMask;
  };
  union {
    DWORD dwBBitMask = 0;
    DWORD dwVBitMask;
    DWORD dwStencilBitMask;
  };
  union {
    DWORD dwRGBAlphaBitMask = 0;
    DWORD dwYUVAlphaBitMask;
    DWORD dwLuminanceAlphaBitMask;
    DWORD dwRGBZBitMask;
    DWORD dwYUVZBitMask;
  };
};
static_assert(sizeof(DDPIXELFORMAT) == 32, "DDPIXELFORMAT is 32 bytes, as on Windows");

// ---- Surface capabilities --------------------------------------------------
constexpr DWORD DDSCAPS_ALPHA = 0x00000002;
constexpr DWORD DDSCAPS_BACKBUFFER = 0x00000004;
constexpr DWORD DDSCAPS_COMPLEX = 0x00000008;
constexpr DWORD DDSCAPS_FLIP = 0x00000010;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x00000020;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x00000040;
constexpr DWORD DDSCAPS_OVERLAY = 0x00000080;
constexpr DWORD DDSCAPS_PALETTE = 0x00000100;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x00000800;
constexpr DWORD DDSCAPS_TEXTURE = 0x00001000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x00002000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x00004000;
constexpr DWORD DDSCAPS_VISIBLE = 0x00008000;
constexpr DWORD DDSCAPS_WRITEONLY = 0x00010000;
constexpr DWORD DDSCAPS_ZBUFFER = 0x00020000;
constexpr DWORD DDSCAPS_OWNDC = 0x00040000;
constexpr DWORD DDSCAPS_MIPMAP = 0x00400000;
constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;
constexpr DWORD DDSCAPS_NONLOCALVIDMEM = 0x20000000;

struct DDSCAPS2 {
  DWORD dwCaps = 0;
  DWORD dwCaps2 = 0;
  DWORD dwCaps3 = 0;
  DWORD dwCaps4 = 0;
};

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue = 0;
  DWORD dwColorSpaceHighValue = 0;
};

// ---- Surface descriptions --------------------------------------------------
constexpr DWORD DDSD_CAPS = 0x00000001;
constexpr DWORD DDSD_HEIGHT = 0x00000002;
constexpr DWORD DDSD_WIDTH = 0x00000004;
constexpr DWORD DDSD_PITCH = 0x00000008;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x00000020;
constexpr DWORD DDSD_ZBUFFERBITDEPTH = 0x00000040;
constexpr DWORD DDSD_ALPHABITDEPTH = 0x00000080;
constexpr DWORD DDSD_LPSURFACE = 0x00000800;
constexpr DWORD DDSD_PIXELFORMAT = 0x00001000;
constexpr DWORD DDSD_CKDESTOVERLAY = 0x00002000;
constexpr DWORD DDSD_CKDESTBLT = 0x00004000;
constexpr DWORD DDSD_CKSRCOVERLAY = 0x00008000;
constexpr DWORD DDSD_CKSRCBLT = 0x00010000;
constexpr DWORD DDSD_MIPMAPCOUNT = 0x00020000;
constexpr DWORD DDSD_REFRESHRATE = 0x00040000;
constexpr DWORD DDSD_LINEARSIZE = 0x00080000;
constexpr DWORD DDSD_TEXTURESTAGE = 0x00100000;
constexpr DWORD DDSD_ALL = 0x00FFF9EE;

// Windows' member order. Its size here is larger than Windows' 124 bytes
// because lpSurface is a 64-bit pointer: set dwSize to
// sizeof(DDSURFACEDESC2). The Windows value 124 is accepted as well, so code
// written against the Windows layout works unchanged.
struct DDSURFACEDESC2 {
  DWORD dwSize = 0;
  DWORD dwFlags = 0;
  DWORD dwHeight = 0;
  DWORD dwWidth = 0;
  union {
    LONG lPitch = 0;
    DWORD dwLinearSize;
  };
  union {
    DWORD dwBackBufferCount = 0;
    DWORD dwDepth;
  };
  union {
    DWORD dwMipMapCount = 0;
    DWORD dwRefreshRate;
    DWORD dwSrcVBHandle;
  };
  DWORD dwAlphaBitDepth = 0;
  DWORD dwReserved = 0;
  LPVOID lpSurface = nullptr;
  union {
    DDCOLORKEY ddckCKDestOverlay{};
    DWORD dwEmptyFaceColor;
  };
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  union {
    DDPIXELFORMAT ddpfPixelFormat{};
    DWORD dwFVF;
  };
  DDSCAPS2 ddsCaps;
  DWORD dwTextureStage = 0;
};
// The size code written for Windows puts in dwSize.
constexpr DWORD kWindowsDDSurfaceDesc2Size = 124;

// ---- Cooperative levels, display modes, vertical blank --------------------
constexpr DWORD DDSCL_FULLSCREEN = 0x00000001;
constexpr DWORD DDSCL_ALLOWREBOOT = 0x00000002;
constexpr DWORD DDSCL_NOWINDOWCHANGES = 0x00000004;
constexpr DWORD DDSCL_NORMAL = 0x00000008;
constexpr DWORD DDSCL_EXCLUSIVE = 0x00000010;
constexpr DWORD DDSCL_ALLOWMODEX = 0x00000040;
constexpr DWORD DDSCL_SETFOCUSWINDOW = 0x00000080;
constexpr DWORD DDSCL_SETDEVICEWINDOW = 0x00000100;
constexpr DWORD DDSCL_CREATEDEVICEWINDOW = 0x00000200;
constexpr DWORD DDSCL_MULTITHREADED = 0x00000400;
constexpr DWORD DDSCL_FPUSETUP = 0x00000800;
constexpr DWORD DDSCL_FPUPRESERVE = 0x00001000;

constexpr DWORD DDSDM_STANDARDVGAMODE = 0x00000001;

constexpr DWORD DDEDM_REFRESHRATES = 0x00000001;
constexpr DWORD DDEDM_STANDARDVGAMODES = 0x00000002;

constexpr HRESULT DDENUMRET_CANCEL = 0;
constexpr HRESULT DDENUMRET_OK = 1;

constexpr DWORD DDWAITVB_BLOCKBEGIN = 0x00000001;
constexpr DWORD DDWAITVB_BLOCKBEGINEVENT = 0x00000002;
constexpr DWORD DDWAITVB_BLOCKEND = 0x00000004;

// ---- Blt, Flip, Lock ------------------------------------------------------
constexpr DWORD DDBLT_ASYNC = 0x00000200;
constexpr DWORD DDBLT_COLORFILL = 0x00000400;
constexpr DWORD DDBLT_DDFX = 0x00000800;
constexpr DWORD DDBLT_KEYDEST = 0x00002000;
constexpr DWORD DDBLT_KEYSRC = 0x00008000;
constexpr DWORD DDBLT_ROP = 0x00020000;
constexpr DWORD DDBLT_WAIT = 0x01000000;
constexpr DWORD DDBLT_DEPTHFILL = 0x02000000;
constexpr DWORD DDBLT_DONOTWAIT = 0x08000000;

// Windows' member order; pointer members make it larger than on Windows.
// Blt reads dwFillColor (DDBLT_COLORFILL, a raw pixel of the destination's
// format) and dwFillDepth (DDBLT_DEPTHFILL).
struct DDBLTFX {
  DWORD dwSize = 0;
  DWORD dwDDFX = 0;
  DWORD dwROP = 0;
  DWORD dwDDROP = 0;
  DWORD dwRotationAngle = 0;
  DWORD dwZBufferOpCode = 0;
  DWORD dwZBufferLow = 0;
  DWORD dwZBufferHigh = 0;
  DWORD dwZBufferBaseDest = 0;
  DWORD dwZDestConstBitDepth = 0;
  union {
    DWORD dwZDestConst = 0;
    IDirectDrawSurface4* lpDDSZBufferDest;
  };
  DWORD dwZSrcConstBitDepth = 0;
  union {
    DWORD dwZSrcConst = 0;
    IDirectDrawSurface4* lpDDSZBufferSrc;
  };
  DWORD dwAlphaEdgeBlendBitDepth = 0;
  DWORD dwAlphaEdgeBlend = 0;
  DWORD dwReserved = 0;
  DWORD dwAlphaDestConstBitDepth = 0;
  union {
    DWORD dwAlphaDestConst = 0;
    IDirectDrawSurface4* lpDDSAlphaDest;
  };
  DWORD dwAlphaSrcConstBitDepth = 0;
  union {
    DWORD dwAlphaSrcConst = 0;
    IDirectDrawSurface4* lpDDSAlphaSrc;
  };
  union {
    DWORD dwFillColor = 0;
    DWORD dwFillDepth;
    DWORD dwFillPixel;
    IDirectDrawSurface4* lpDDSPattern;
  };
  DDCOLORKEY ddckDestColorkey;
  DDCOLORKEY ddckSrcColorkey;
};

constexpr DWORD DDFLIP_WAIT = 0x00000001;
constexpr DWORD DDFLIP_EVEN = 0x00000002;
constexpr DWORD DDFLIP_ODD = 0x00000004;
constexpr DWORD DDFLIP_NOVSYNC = 0x00000008;
constexpr DWORD DDFLIP_DONOTWAIT = 0x00000020;

constexpr DWORD DDLOCK_SURFACEMEMORYPTR = 0x00000000;
constexpr DWORD DDLOCK_WAIT = 0x00000001;
constexpr DWORD DDLOCK_EVENT = 0x00000002;
constexpr DWORD DDLOCK_READONLY = 0x00000010;
constexpr DWORD DDLOCK_WRITEONLY = 0x00000020;
constexpr DWORD DDLOCK_NOSYSLOCK = 0x00000800;
constexpr DWORD DDLOCK_DONOTWAIT = 0x00004000;

// DirectDrawCreate's special driver "GUIDs".
inline GUID* const DDCREATE_HARDWAREONLY = reinterpret_cast<GUID*>(1);
inline GUID* const DDCREATE_EMULATIONONLY = reinterpret_cast<GUID*>(2);

using LPDDENUMMODESCALLBACK2 = HRESULT (*)(DDSURFACEDESC2* desc, LPVOID context);

}  // namespace kv
