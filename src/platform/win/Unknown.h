// COM-style objects: reference counted, queried for interfaces by IID, held
// in C++ code through ComPtr and never released by hand.
#pragma once

#include <atomic>
#include <utility>

#include "korvane3d/platform/win/HResult.h"
#include "korvane3d/platform/win/WinTypes.h"

namespace kv {

// Builds a GUID from its textual parts at compile time.
constexpr GUID MakeGuid(DWORD d1, WORD d2, WORD d3, BYTE b0, BYTE b1, BYTE b2, BYTE b3, BYTE b4, BYTE b5,
                        BYTE b6, BYTE b7) {
  return GUID{d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}};
}

inline constexpr IID IID_IUnknown = MakeGuid(0x00000000, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);

// The root of every platform and engine interface.
class IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  // Objects die through Release only.
  virtual ~IUnknown() = default;
};


// The shared reference count of an implementation object. Derive the
// implementation from its interfaces and from RefCount, and forward
// AddRef/Release to AddRefImpl/ReleaseImpl. The count starts at one: the
// creator's reference.
class RefCount {
 protected:
  RefCount() = default;
  RefCount(const RefCount&) = delete;
  RefCount& operator=(const RefCount&) = delete;
  virtual ~RefCount() = default;

  ULONG AddRefImpl() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG ReleaseImpl() {
    ULONG left = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 public:
  ULONG RefCountForTests() const { return count_.load(std::memory_order_relaxed); }

 private:
  std::atomic<ULONG> count_{1};
};

// Holds one reference to a COM-style object. Attach() adopts a reference the
// caller already owns (what a Create call hands back); the constructor from a
// raw pointer takes a new one.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  ComPtr(const ComPtr<U>& o) : ComPtr(o.Get()) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& o) {
    ComPtr(o).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    ComPtr(std::move(o)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  static ComPtr Adopt(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  void Attach(T* p) {
    Reset();
    p_ = p;
  }
  [[nodiscard]] T* Detach() { return std::exchange(p_, nullptr); }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  void Swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

  // For out-parameters of Create-style calls: releases what is held and
  // lets the callee store a new, already counted reference.
  T** ReleaseAndGetAddressOf() {
    Reset();
    return &p_;
  }

  template <class U>
  HRESULT As(REFIID iid, ComPtr<U>& out) const {
    if (!p_) return E_POINTER;
    void* q = nullptr;
    HRESULT hr = p_->QueryInterface(iid, &q);
    out.Attach(SUCCEEDED(hr) ? static_cast<U*>(q) : nullptr);
    return hr;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace kv
