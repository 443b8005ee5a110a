// Event properties. An event holds a bound handler with the event's own
// signature, whose first argument is the component that fires it (Sender):
//
//   TNotifyEvent OnMove;                      // in the component
//   ball->OnMove = [](TObject* sender) {...};  // in the application
//   OnMove(this);                             // firing: skipped when unassigned
//
// A handler bound from a form file remembers the name of the method it was
// registered under (TComponent::RegisterMethod), so that writing the form
// names it again; a handler assigned in code has no name and is not written.
#pragma once

#include <any>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>

namespace kv {

class TObject;

class TEventBase {
 public:
  virtual ~TEventBase() = default;
  virtual bool Assigned() const = 0;
  virtual void Clear() = 0;
  // The registered method name of the bound handler; empty when unbound or
  // bound in code.
  const std::string& MethodName() const { return methodName_; }
  // Binds a registered method (a std::any holding a std::function). False
  // when the method's signature is not the event's; the event is unchanged.
  virtual bool BindMethod(const std::string& name, const std::any& method) = 0;
  // A copy of the handler and its name, and putting such a copy back (used
  // to undo a failed form read).
  virtual std::any Save() const = 0;
  virtual void Restore(const std::any& saved) = 0;

 protected:
  TEventBase() = default;
  TEventBase(const TEventBase&) = default;
  TEventBase& operator=(const TEventBase&) = default;
  std::string methodName_;
};

template <class... Args>
class TEvent : public TEventBase {
 public:
  using Handler = std::function<void(Args...)>;

  TEvent() = default;
  TEvent(Handler handler) : handler_(std::move(handler)) {}  // NOLINT: implicit by design
  TEvent& operator=(Handler handler) {
    handler_ = std::move(handler);
    methodName_.clear();
    return *this;
  }
  TEvent& operator=(std::nullptr_t) {
    Clear();
    return *this;
  }

  bool Assigned() const override { return static_cast<bool>(handler_); }
  explicit operator bool() const { return Assigned(); }
  void Clear() override {
    handler_ = nullptr;
    methodName_.clear();
  }
  bool BindMethod(const std::string& name, const std::any& method) override {
    const Handler* handler = std::any_cast<Handler>(&method);
    if (handler == nullptr) return false;
    handler_ = *handler;
    methodName_ = name;
    return true;
  }

  std::any Save() const override { return std::any(*this); }
  void Restore(const std::any& saved) override {
    if (const auto* event = std::any_cast<TEvent>(&saved)) *this = *event;
  }

  // Fires the event; does nothing when unassigned.
  template <class... CallArgs>
  void operator()(CallArgs&&... args) const {
    if (handler_) handler_(std::forward<CallArgs>(args)...);
  }
  const Handler& GetHandler() const { return handler_; }

 private:
  Handler handler_;
};

using TNotifyEvent = TEvent<TObject*>;

namespace detail {
// The std::function type that a callable with a void result is stored as.
template <class F>
struct HandlerOf : HandlerOf<decltype(&F::operator())> {};
template <class R, class... A>
struct HandlerOf<R (*)(A...)> {
  static_assert(std::is_void_v<R>, "event handlers return nothing");
  using type = std::function<void(A...)>;
};
template <class C, class R, class... A>
struct HandlerOf<R (C::*)(A...)> : HandlerOf<R (*)(A...)> {};
template <class C, class R, class... A>
struct HandlerOf<R (C::*)(A...) const> : HandlerOf<R (*)(A...)> {};
}  // namespace detail

}  // namespace kv
