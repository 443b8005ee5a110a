// The shared implementation of every engine object: reference counting,
// interface queries, name, application data and destroy callbacks.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "korvane3d/rm/D3DRM.h"
#include "korvane3d/rm/EngineLock.h"

namespace kv::rm {

// Answers a query for any of iids with object (one interface chain per
// engine object, so every accepted IID yields the same pointer).
template <class Interface>
HRESULT AnswerQuery(REFIID iid, void** out, std::initializer_list<IID> iids, Interface* object) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || std::find(iids.begin(), iids.end(), iid) != iids.end()) {
    object->AddRef();
    *out = object;
    return S_OK;
  }
  return E_NOINTERFACE;
}

// The object as its implementation class T, or null when it is another
// kind of object. T is final, so an exact type test answers the same as
// dynamic_cast at a fraction of its cost: the renderer asks this of every
// visual of every frame it draws.
template <class T>
T* ExactCast(IUnknown* object) {
  static_assert(std::is_final_v<T>);
  return object != nullptr && typeid(*object) == typeid(T) ? static_cast<T*>(object) : nullptr;
}

// Copies text into a caller's buffer the way GetName and GetClassName do:
// *size in is the buffer size, out the size needed (with the terminator, or
// 0 for no text).
HRESULT CopyName(const std::string& text, bool present, DWORD* size, LPSTR buffer);

template <class Interface>
class ObjectImpl : public Interface, public kv::RefCount {
 public:
  ULONG AddRef() override { return AddRefImpl(); }

  // The last release runs the destroy callbacks while the object is whole,
  // then deletes it, all under the engine lock, so nothing can find the
  // object half destroyed.
  ULONG Release() override {
    EngineLock lock;
    if (RefCountForTests() == 1 && !destroyCallbacks_.empty()) RunDestroyCallbacks();
    return ReleaseImpl();
  }

  HRESULT Clone(IUnknown*, REFIID, void** out) override {
    if (out) *out = nullptr;
    return D3DRMERR_NOTDONEYET;
  }

  HRESULT AddDestroyCallback(D3DRMOBJECTCALLBACK cb, void* arg) override {
    if (!cb) return D3DRMERR_BADVALUE;
    EngineLock lock;
    destroyCallbacks_.push_back({cb, arg});
    return D3DRM_OK;
  }

  HRESULT DeleteDestroyCallback(D3DRMOBJECTCALLBACK cb, void* arg) override {
    EngineLock lock;
    auto it = std::find_if(destroyCallbacks_.begin(), destroyCallbacks_.end(),
                           [&](const DestroyCallback& c) { return c.cb == cb && c.arg == arg; });
    if (it == destroyCallbacks_.end()) return D3DRMERR_NOTFOUND;
    destroyCallbacks_.erase(it);
    return D3DRM_OK;
  }

  HRESULT SetAppData(DWORD data) override {
    EngineLock lock;
    appData_ = data;
    return D3DRM_OK;
  }
  DWORD GetAppData() override {
    EngineLock lock;
    return appData_;
  }

  HRESULT SetName(LPCSTR name) override {
    EngineLock lock;
    hasName_ = name != nullptr;
    name_ = name ? name : "";
    return D3DRM_OK;
  }
  HRESULT GetName(DWORD* size, LPSTR name) override {
    EngineLock lock;
    return CopyName(name_, hasName_, size, name);
  }
  HRESULT GetClassName(DWORD* size, LPSTR name) override { return CopyName(ClassName(), true, size, name); }

 protected:
  ObjectImpl() = default;
  ~ObjectImpl() override = default;

  virtual const char* ClassName() const = 0;
  const std::string& Name() const { return name_; }
  void CopyObjectDataFrom(const ObjectImpl& other) {
    name_ = other.name_;
    hasName_ = other.hasName_;
    appData_ = other.appData_;
  }

 private:
  struct DestroyCallback {
    D3DRMOBJECTCALLBACK cb;
    void* arg;
  };

  void RunDestroyCallbacks() {
    std::vector<DestroyCallback> callbacks;
    callbacks.swap(destroyCallbacks_);
    for (auto it = callbacks.rbegin(); it != callbacks.rend(); ++it) it->cb(this, it->arg);
  }

  std::string name_;
  bool hasName_ = false;
  DWORD appData_ = 0;
  std::vector<DestroyCallback> destroyCallbacks_;
};

// Gives the caller a counted reference through an out parameter.
template <class Interface, class Impl>
HRESULT HandOut(Impl* object, Interface** out) {
  if (!out) return D3DRMERR_BADVALUE;
  *out = object;
  if (object) object->AddRef();
  return D3DRM_OK;
}

}  // namespace kv::rm
