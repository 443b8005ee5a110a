// The listeners that see every native event the message pump takes. Kept by
// common code so that adding one works whichever backend is in effect; only
// the SDL backend calls them.
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/EventListeners.h"

namespace kv::win::detail {
namespace {

struct Listeners {
  std::mutex mutex;
  int nextId = 1;
  std::vector<std::pair<int, std::shared_ptr<const kv::platform::SdlEventListener>>> entries;
};

Listeners& All() {
  static Listeners listeners;
  return listeners;
}

}  // namespace

void NotifyEventListeners(const void* nativeEvent) {
  std::vector<std::shared_ptr<const kv::platform::SdlEventListener>> snapshot;
  {
    std::lock_guard lock(All().mutex);
    for (const auto& entry : All().entries) snapshot.push_back(entry.second);
  }
  // Called outside the lock: a listener may add or remove listeners.
  for (const auto& listener : snapshot) (*listener)(nativeEvent);
}

}  // namespace kv::win::detail

namespace kv::platform {

int AddSdlEventListener(SdlEventListener listener) {
  if (!listener) return 0;
  auto& all = kv::win::detail::All();
  std::lock_guard lock(all.mutex);
  int id = all.nextId++;
  all.entries.emplace_back(id, std::make_shared<const SdlEventListener>(std::move(listener)));
  return id;
}

void RemoveSdlEventListener(int id) {
  auto& all = kv::win::detail::All();
  std::lock_guard lock(all.mutex);
  std::erase_if(all.entries, [id](const auto& entry) { return entry.first == id; });
}

}  // namespace kv::platform
