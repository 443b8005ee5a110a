// Handles as numbers, never as pointers: every handle the platform gives out
// (windows, device contexts, GDI objects, files, modules) is a key into a
// table of shared objects. A stale or made-up handle finds nothing instead of
// touching freed memory, and an object stays alive while a call uses it even
// if another thread closes its handle meanwhile.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace kv::win::detail {

// Each kind of handle has its own range, so a handle of one kind is never
// accepted as another, and every value is far above the small numbers that
// Windows code reads as errors.
enum class HandleKind : std::uintptr_t { Window = 1, DeviceContext, GdiObject, File, Module };

template <class T>
class HandleTable {
 public:
  explicit HandleTable(HandleKind kind) : base_(static_cast<std::uintptr_t>(kind) << 40) {}

  std::uintptr_t Add(std::shared_ptr<T> object) {
    std::lock_guard lock(mutex_);
    std::uintptr_t handle = base_ | ++counter_;
    objects_.emplace(handle, std::move(object));
    return handle;
  }
  // Stores an object under a fixed handle of this table's range (stock objects).
  void AddFixed(std::uintptr_t handle, std::shared_ptr<T> object) {
    std::lock_guard lock(mutex_);
    objects_[handle] = std::move(object);
  }
  std::shared_ptr<T> Find(std::uintptr_t handle) const {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : it->second;
  }
  std::shared_ptr<T> Remove(std::uintptr_t handle) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    if (it == objects_.end()) return nullptr;
    std::shared_ptr<T> object = std::move(it->second);
    objects_.erase(it);
    return object;
  }
  std::vector<std::uintptr_t> Handles() const {
    std::lock_guard lock(mutex_);
    std::vector<std::uintptr_t> handles;
    handles.reserve(objects_.size());
    for (const auto& entry : objects_) handles.push_back(entry.first);
    return handles;
  }
  std::uintptr_t Base() const { return base_; }

 private:
  const std::uintptr_t base_;
  mutable std::mutex mutex_;
  std::uintptr_t counter_ = 0x100;  // fixed handles live below this
  std::unordered_map<std::uintptr_t, std::shared_ptr<T>> objects_;
};

template <class Handle>
std::uintptr_t HandleValue(Handle handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}
template <class Handle>
Handle MakeHandle(std::uintptr_t value) {
  return reinterpret_cast<Handle>(value);
}

}  // namespace kv::win::detail
