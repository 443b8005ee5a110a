// The SDL2 backend (being written): until it lands, SDL falls back to headless.
#include "platform/win/BackendImpl.h"

namespace kv::win::detail {
std::unique_ptr<PlatformBackend> MakeSdlBackend() { return nullptr; }
}  // namespace kv::win::detail
