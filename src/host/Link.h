// Link<T>: the weak reference every non-owning link between components uses
// (a view's Scene and Camera, a frame's ParentFrame, a shadow's Light, ...).
// It reads null as soon as its target starts being freed; the optional
// callback given at construction then runs, so that the holder can react
// (stop using an engine object of the target, say).
//
//   Link<TKV3DScene> scene_{[this] { SceneGone(); }};
//   scene_ = newScene;            // or nullptr
//   if (TKV3DScene* s = scene_.get()) ...
//
// A link to a component that is already being freed stays null. Links are
// main-thread objects, like the components they point to.
#pragma once

#include <functional>
#include <utility>

#include "korvane3d/host/Component.h"

namespace kv {

class LinkBase {
 public:
  LinkBase(const LinkBase&) = delete;
  LinkBase& operator=(const LinkBase&) = delete;
  TComponent* Target() const { return target_; }

 protected:
  explicit LinkBase(std::function<void()> onCleared) : onCleared_(std::move(onCleared)) {}
  ~LinkBase() { Attach(nullptr); }
  // Aims the link at `target` (null allowed); false when the target is being
  // freed, and the link is then null.
  bool Attach(TComponent* target);

 private:
  friend class TComponent;
  void Detach();
  void TargetGone();  // called by the target's Destroying

  TComponent* target_ = nullptr;
  LinkBase* prev_ = nullptr;
  LinkBase* next_ = nullptr;
  std::function<void()> onCleared_;
};

template <class T>
class Link : public LinkBase {
 public:
  Link() : LinkBase(nullptr) {}
  explicit Link(std::function<void()> onCleared) : LinkBase(std::move(onCleared)) {}
  explicit Link(T* target) : LinkBase(nullptr) { *this = target; }
  Link(const Link& other) : LinkBase(nullptr) { *this = other.get(); }
  Link& operator=(const Link& other) { return *this = other.get(); }
  Link& operator=(T* target) {
    typed_ = Attach(target) ? target : nullptr;
    return *this;
  }

  T* get() const { return Target() != nullptr ? typed_ : nullptr; }
  T* operator->() const { return get(); }
  T& operator*() const { return *get(); }
  explicit operator bool() const { return get() != nullptr; }
  friend bool operator==(const Link& a, const T* b) { return a.get() == b; }

 private:
  T* typed_ = nullptr;
};

}  // namespace kv
