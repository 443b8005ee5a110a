#include "korvane3d/host/Component.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <iterator>
#include <typeinfo>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/Link.h"
#include "korvane3d/host/PropertyBuilder.h"

namespace kv {

const TClassInfo& TComponent::StaticClass() {
  static const TClassInfo info = DefineClass<TComponent, TPersistent>("TComponent", [](PropertyBuilder<TComponent>& p) {
    p.String("Name", &TComponent::Name, &TComponent::SetName).Stored(false);
    p.Integer("Tag", &TComponent::Tag, &TComponent::SetTag);
  });
  return info;
}

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->Insert(this);
}

TComponent::~TComponent() {
  Destroying();
  DestroyComponents();
  if (owner_ != nullptr) owner_->Remove(this);
}

void TComponent::Destroying() {
  if (destroyingDone_) return;
  destroyingDone_ = true;
  state_.Include(csDestroying);
  while (links_ != nullptr) links_->TargetGone();
  // Each partner is told once and forgets this component; a partner that
  // frees others from its Notification only shortens the list.
  while (!freeNotifies_.empty()) {
    TComponent* partner = freeNotifies_.back();
    freeNotifies_.pop_back();
    std::erase(partner->freeNotifies_, this);
    partner->Notification(this, opRemove);
  }
}

TPersistent* TComponent::GetOwner() const { return owner_; }

std::string TComponent::GetNamePath() const {
  if (owner_ != nullptr && !owner_->Name().empty()) return owner_->Name() + "." + name_;
  return name_.empty() ? ClassName() : name_;
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) return nullptr;
  return components_[static_cast<std::size_t>(index)];
}

int TComponent::ComponentIndex() const {
  if (owner_ == nullptr) return -1;
  auto it = std::find(owner_->components_.begin(), owner_->components_.end(), this);
  return it == owner_->components_.end() ? -1 : static_cast<int>(it - owner_->components_.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  auto it = namesIndex_.find(name);
  return it == namesIndex_.end() ? nullptr : it->second;
}

std::size_t TComponent::NameHash::operator()(std::string_view name) const {
  // FNV-1a over the case-folded characters, folded as SameText folds.
  std::uint64_t hash = 14695981039346656037ull;
  for (char c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  }
  return static_cast<std::size_t>(hash);
}

void TComponent::IndexName(TComponent* component) {
  // Validation keeps names unique here, so the slot is free.
  if (!component->name_.empty()) namesIndex_.try_emplace(component->name_, component);
}

void TComponent::UnindexName(TComponent* component) {
  if (component->name_.empty()) return;
  auto it = namesIndex_.find(component->name_);
  if (it != namesIndex_.end() && it->second == component) namesIndex_.erase(it);
}

bool TComponent::ValidateName(std::string_view name, const TComponent* exclude) const {
  if (!name.empty() && !IsValidIdent(name)) return Fail("\"" + std::string(name) + "\" is not a valid component name");
  if (TComponent* other = FindComponent(name); other != nullptr && other != exclude) {
    return Fail("duplicate component name \"" + std::string(name) + "\" in " + GetNamePath());
  }
  return true;
}

bool TComponent::SetName(std::string_view name) {
  if (name == name_) return true;
  if (owner_ != nullptr) {
    if (!owner_->ValidateName(name, this)) return false;
  } else if (!name.empty() && !IsValidIdent(name)) {
    return Fail("\"" + std::string(name) + "\" is not a valid component name");
  }
  if (owner_ != nullptr) owner_->UnindexName(this);
  name_ = name;
  if (owner_ != nullptr) owner_->IndexName(this);
  return true;
}

void TComponent::SetStateFlag(TComponentStateFlag flag, bool on) {
  if (on) {
    state_.Include(flag);
  } else {
    state_.Exclude(flag);
  }
}

void TComponent::SetDesigning(bool designing) {
  SetStateFlag(csDesigning, designing);
  for (int i = 0; i < ComponentCount(); ++i) components_[static_cast<std::size_t>(i)]->SetDesigning(designing);
}

bool TComponent::InsertComponent(TComponent* component) {
  if (component == nullptr) return Fail("cannot insert a null component");
  if (component->owner_ == this) return true;
  for (const TComponent* c = this; c != nullptr; c = c->owner_) {
    if (c == component) return Fail("a component cannot own itself or its owners");
  }
  if (component->state_.Contains(csDestroying) || state_.Contains(csDestroying)) {
    return Fail("cannot insert a component while it or its new owner is being freed");
  }
  if (!ValidateName(component->name_, nullptr)) return false;
  if (component->owner_ != nullptr) component->owner_->Remove(component);
  Insert(component);
  return true;
}

bool TComponent::RemoveComponent(TComponent* component) {
  if (component == nullptr || component->owner_ != this) return Fail("the component is not owned here");
  Remove(component);
  return true;
}

namespace {
// Stamps of components lists; components belong to the main thread, the
// counter is atomic only so that no two lists ever share a stamp.
std::uint64_t NextComponentsStamp() {
  static std::atomic<std::uint64_t> last{0};
  return ++last;
}

// Listed once; searched from the end, where the components freed last first
// and the short-lived ones are.
void EraseFromEnd(std::vector<TComponent*>& list, const TComponent* component) {
  auto it = std::find(list.rbegin(), list.rend(), component);
  if (it != list.rend()) list.erase(std::next(it).base());
}
}  // namespace

bool TComponent::Quiet(const TComponent* component) {
  return component->ignoresInsertsAndFrees_ && component->components_.empty();
}

bool TComponent::TakesNoNotice(const TComponent& component) {
  if (Quiet(&component)) return true;
  if (!component.components_.empty()) return false;
  // The class whose Notification a call would run now: its registered
  // information applies only when it describes exactly that class.
  const ExactClass& exact = component.ClassInfo().Exact();
  return exact.ignoresInsertsAndFrees && exact.type != nullptr && typeid(component) == *exact.type;
}

void TComponent::Insert(TComponent* component) {
  const bool firstOwned = components_.empty();
  components_.push_back(component);
  componentsStamp_ = NextComponentsStamp();
  if (!Quiet(component)) listeners_.push_back(component);
  component->owner_ = this;
  IndexName(component);
  // Owning something, this one now passes notifications on.
  if (firstOwned && owner_ != nullptr) owner_->Listen(this);
  Notification(component, opInsert);
}

void TComponent::Listen(TComponent* component) {
  if (std::find(listeners_.begin(), listeners_.end(), component) != listeners_.end()) return;
  // Rare (a quiet component's first owned one): rebuilt in component order.
  listeners_.clear();
  for (TComponent* c : components_) {
    if (!Quiet(c)) listeners_.push_back(c);
  }
}

void TComponent::IgnoreInsertsAndFrees() {
  ignoresInsertsAndFrees_ = true;
  if (owner_ != nullptr && Quiet(this)) EraseFromEnd(owner_->listeners_, this);
}

void TComponent::Remove(TComponent* component) {
  // Told while the component is still listed and its identity is valid.
  Notification(component, opRemove);
  EraseFromEnd(components_, component);
  EraseFromEnd(listeners_, component);
  componentsStamp_ = NextComponentsStamp();
  UnindexName(component);
  component->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  // Re-read the end each time: a destructor may free siblings (they leave
  // the list themselves) or create new components (freed in turn).
  while (!components_.empty()) delete components_.back();
}

void TComponent::FreeNotification(TComponent* component) {
  if (component == nullptr || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end()) {
    freeNotifies_.push_back(component);
  }
  if (std::find(component->freeNotifies_.begin(), component->freeNotifies_.end(), this) ==
      component->freeNotifies_.end()) {
    component->freeNotifies_.push_back(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (component == nullptr) return;
  std::erase(freeNotifies_, component);
  std::erase(component->freeNotifies_, this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  // A component that leaves alive is announced to every component; inserts
  // and frees only to those that may take notice of them.
  const bool leavesAlive = operation == opRemove && (component == nullptr || !component->state_.Contains(csDestroying));
  const std::vector<TComponent*>& targets = leavesAlive ? components_ : listeners_;
  // By index and bounds-checked each step: a handler may free components.
  for (std::size_t i = 0; i < targets.size(); ++i) {
    TComponent* c = targets[i];
    if (c != component && (leavesAlive || !TakesNoNotice(*c))) c->Notification(component, operation);
  }
}

void TComponent::Loaded() { state_.Exclude(csLoading); }

void TComponent::RegisterMethodAny(std::string name, std::any handler) {
  for (auto& [n, h] : methods_) {
    if (SameText(n, name)) {
      h = std::move(handler);
      return;
    }
  }
  methods_.emplace_back(std::move(name), std::move(handler));
}

const std::any* TComponent::FindMethod(std::string_view name) const {
  for (const TComponent* c = this; c != nullptr; c = c->owner_) {
    for (const auto& [n, h] : c->methods_) {
      if (SameText(n, name)) return &h;
    }
  }
  return nullptr;
}

std::string TComponent::FormFolder() const {
  for (const TComponent* c = this; c != nullptr; c = c->owner_) {
    if (!c->formFolder_.empty()) return c->formFolder_;
  }
  return {};
}

// ---- Link ------------------------------------------------------------------

bool LinkBase::Attach(TComponent* target) {
  if (target == target_) return true;
  Detach();
  if (target == nullptr) return true;
  if (target->state_.Contains(csDestroying)) return false;
  target_ = target;
  next_ = target->links_;
  if (next_ != nullptr) next_->prev_ = this;
  target->links_ = this;
  return true;
}

void LinkBase::Detach() {
  if (target_ == nullptr) return;
  if (prev_ != nullptr) {
    prev_->next_ = next_;
  } else {
    target_->links_ = next_;
  }
  if (next_ != nullptr) next_->prev_ = prev_;
  prev_ = next_ = nullptr;
  target_ = nullptr;
}

void LinkBase::TargetGone() {
  Detach();
  if (onCleared_) onCleared_();
}

}  // namespace kv
