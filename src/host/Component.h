// TComponent: the owner component model.
//
// Ownership. A component is created with its owner and belongs to it:
//
//   auto form = std::make_unique<TForm>(nullptr);   // no owner: the caller owns it
//   auto* ball = new TKV3DObject(form.get());        // owned by the form; the
//                                                    // pointer is non-owning
//
// Freeing an owner frees everything it owns, last created first. A component
// may also be freed on its own with `delete` (or by its unique_ptr when it
// has no owner): it takes itself out of its owner. Never delete a component
// twice and never put one with an owner into a unique_ptr.
//
// Notification. When a component is inserted into an owner, and when it is
// freed or removed, the owner's Notification(component, op) runs; the base
// Notification passes it on to every component the owner owns (and they to
// theirs), so an override must call the inherited one. A remove
// notification arrives while the component is still in its owner's list and
// its TComponent part (name, owner, identity) is valid; the derived parts of
// a freed component are already gone by then, so compare pointers, do not
// call into it. Link<T> (Link.h) is the weak reference that clears itself.
//
// Notifications nobody listens to are not sent. Most component classes take
// no notice of insert notifications, nor of the removal of a component that
// is being freed (its derived parts are gone anyway); an owner skips such a
// component for those two kinds while it owns no components itself. A class
// qualifies when it does not override Notification, or when the class that
// declares its Notification vouches for it:
//
//   class TKV3DCustomFrame : public TComponent {
//    public:
//     // Its Notification reacts only to components that leave alive.
//     using NotificationIgnoresInsertsAndFrees = TKV3DCustomFrame;
//     void Notification(TComponent*, TOperation) override;
//   };
//
// A subclass that overrides Notification again hears everything. A component
// made by its class factory (forms) is taken off the owner's list of
// listeners at once; one made with `new` is passed over at each notification
// when its dynamic type is exactly a registered class that qualifies (an
// unregistered subclass has a type of its own, and hears everything).
//
// Teardown tolerates re-entry: a component's destructor may free siblings or
// create components (they are freed too). A derived class whose owned
// components must go before its own members do calls DestroyComponents()
// first in its destructor.
//
// Threads: components belong to the main thread.
#pragma once

#include <any>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "korvane3d/host/Event.h"
#include "korvane3d/host/Persistent.h"
#include "korvane3d/host/Set.h"

namespace kv {

enum TComponentStateFlag { csLoading, csReading, csWriting, csDestroying, csDesigning };
using TComponentState = TSet<TComponentStateFlag>;
enum TOperation { opInsert, opRemove };

class LinkBase;

class TComponent : public TPersistent {
 public:
  KV_DECLARE_CLASS()

  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  TPersistent* GetOwner() const override;
  std::string GetNamePath() const override;

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;  // null outside 0..ComponentCount()-1
  int ComponentIndex() const;                // place in the owner's list, -1 without owner
  // The owned component with this name (case-insensitive), or null; null
  // for "". Constant time on average: owners index their components' names.
  TComponent* FindComponent(std::string_view name) const;
  // A value that changes whenever a component is inserted here or removed,
  // and that no other owner's list ever had: for caches of what an owner
  // holds. 0 for an owner that never held a component.
  std::uint64_t ComponentsStamp() const { return componentsStamp_; }

  const std::string& Name() const { return name_; }
  // An identifier (letter or '_' first, then letters, digits, '_') or empty,
  // unique among the owner's components without regard to case. Refused
  // (false, last error set, nothing changed) otherwise.
  bool SetName(std::string_view name);
  std::int32_t Tag() const { return tag_; }
  void SetTag(std::int32_t tag) { tag_ = tag; }

  TComponentState ComponentState() const { return state_; }
  // For the form reader and for tests; csDesigning is set with SetDesigning.
  void SetStateFlag(TComponentStateFlag flag, bool on);
  // Marks this component and everything it owns as being designed.
  void SetDesigning(bool designing);

  // Takes `component` over from its present owner (if any). Refused when its
  // name is taken here or when it would own itself.
  bool InsertComponent(TComponent* component);
  // Gives up ownership of `component`; the caller then owns it.
  bool RemoveComponent(TComponent* component);
  // Frees every owned component, last first; safe against re-entry.
  void DestroyComponents();

  // Asks for Notification(this, opRemove) to reach `component` when this
  // component is freed, also when it belongs to another owner. Works both
  // ways and is undone automatically when either is freed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  virtual void Notification(TComponent* component, TOperation operation);
  // For the class factory: this component's class ignores insert
  // notifications and the removal of components being freed (see above).
  void IgnoreInsertsAndFrees();
  // Runs when a form starts reading this component's properties, with
  // csLoading and csReading set. A form holds only what differs from the
  // defaults, so a component read again (a form read into components that
  // exist already) sets back here what a form may leave out. The base does
  // nothing; overrides call the inherited one first.
  virtual void BeginReading() {}
  // Runs once after the component was read from a form with all references
  // resolved; the base clears csLoading. Overrides call the inherited one
  // first.
  virtual void Loaded();

  // Nesting in form files: a control's parent is its parent component.
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent* /*parent*/) {}

  // Methods that form files bind to events by name (OnMove = BallMove).
  // The handler returns nothing; its argument list must match the event's
  // exactly. Registering a name again replaces the method.
  template <class F>
  void RegisterMethod(std::string name, F&& handler) {
    using Handler = typename detail::HandlerOf<std::decay_t<F>>::type;
    RegisterMethodAny(std::move(name), std::any(Handler(std::forward<F>(handler))));
  }
  template <class C, class... A>
  void RegisterMethod(std::string name, C* object, void (C::*method)(A...)) {
    RegisterMethodAny(std::move(name), std::any(std::function<void(A...)>(
                                           [object, method](A... args) { (object->*method)(std::forward<A>(args)...); })));
  }
  void RegisterMethodAny(std::string name, std::any handler);
  // The method registered here or, failing that, on the owners above.
  const std::any* FindMethod(std::string_view name) const;

  // The folder of the form file this component was read from, or failing
  // that its nearest owner's: relative data-file names in the form (meshes,
  // textures, images) are also looked up there. ReadComponentResFile sets it
  // on the root it reads into; empty for components made in code or read
  // from text in memory.
  std::string FormFolder() const;
  void SetFormFolder(std::string folder) { formFolder_ = std::move(folder); }

 protected:
  // Starts destruction: sets csDestroying, clears every Link to this
  // component and sends the free notifications. The destructor calls it; a
  // derived destructor may call it first so that weak references let go
  // before its own teardown. Idempotent.
  void Destroying();

 private:
  friend class LinkBase;
  void Insert(TComponent* component);
  void Remove(TComponent* component);
  // Whether `component` is skipped by insert and freed-removal notifications:
  // Quiet by the flag its class factory set, TakesNoNotice also by its exact
  // class, which is only known once it is fully made.
  static bool Quiet(const TComponent* component);
  static bool TakesNoNotice(const TComponent& component);
  // Puts `component` back among the listeners (it started to own components).
  void Listen(TComponent* component);
  bool ValidateName(std::string_view name, const TComponent* exclude) const;
  // Keep namesIndex_ equal to the names of the listed components.
  void IndexName(TComponent* component);
  void UnindexName(TComponent* component);

  // Hash and equality that agree with SameText (ASCII case folded), usable
  // with a string_view key without making a string.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const;
  };
  struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return SameText(a, b); }
  };

  TComponent* owner_ = nullptr;
  // Owned: freed by DestroyComponents. Raw pointers because a component
  // takes itself out of this list while it is being freed.
  std::vector<TComponent*> components_;
  // The owned components that are not Quiet, in the order of components_:
  // the only ones that insert and freed-removal notifications reach.
  std::vector<TComponent*> listeners_;
  bool ignoresInsertsAndFrees_ = false;
  std::uint64_t componentsStamp_ = 0;
  // The named components of components_ by name; names are unique among
  // them without regard to case, and unnamed ones are not indexed. Entries
  // come and go with the list and follow SetName.
  std::unordered_map<std::string, TComponent*, NameHash, NameEqual> namesIndex_;
  std::string name_;
  std::int32_t tag_ = 0;
  TComponentState state_;
  bool destroyingDone_ = false;
  std::vector<TComponent*> freeNotifies_;
  LinkBase* links_ = nullptr;  // intrusive list of the Links aimed at this component
  std::vector<std::pair<std::string, std::any>> methods_;
  std::string formFolder_;
};

namespace detail {
// True when T's Notification is TComponent's own, or is declared by the class
// that T's NotificationIgnoresInsertsAndFrees names.
template <class T>
constexpr bool IgnoresInsertsAndFrees() {
  using Declared = decltype(&T::Notification);
  if constexpr (std::is_same_v<Declared, void (TComponent::*)(TComponent*, TOperation)>) {
    return true;
  } else if constexpr (requires { typename T::NotificationIgnoresInsertsAndFrees; }) {
    using Vouching = typename T::NotificationIgnoresInsertsAndFrees;
    return std::is_same_v<Declared, void (Vouching::*)(TComponent*, TOperation)>;
  } else {
    return false;
  }
}
}  // namespace detail

}  // namespace kv
