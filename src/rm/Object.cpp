#include "korvane3d/rm/Object.h"

#include <cstring>

namespace kv::rm {

HRESULT CopyName(const std::string& text, bool present, DWORD* size, LPSTR buffer) {
  if (!size) return D3DRMERR_BADVALUE;
  DWORD needed = present ? static_cast<DWORD>(text.size() + 1) : 0;
  if (buffer) {
    if (*size < needed) return D3DRMERR_BADVALUE;
    if (needed) std::memcpy(buffer, text.c_str(), needed);
    else if (*size > 0) buffer[0] = '\0';
  }
  *size = needed;
  return D3DRM_OK;
}

}  // namespace kv::rm
