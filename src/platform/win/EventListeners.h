// Internal: shows a native event to the listeners added with
// kv::platform::AddSdlEventListener.
#pragma once

namespace kv::win::detail {
void NotifyEventListeners(const void* nativeEvent);
}  // namespace kv::win::detail
