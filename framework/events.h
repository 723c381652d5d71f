// Events: optional callbacks, usually bound to a method of an object. Firing an
// unbound event does nothing.
#pragma once

#include <cstddef>
#include <functional>
#include <type_traits>
#include <utility>

namespace vrk {

class TObject;

template <typename Signature>
class TEvent;

template <typename... Args>
class TEvent<void(Args...)> {
 public:
  TEvent() = default;
  TEvent(std::nullptr_t) noexcept {}  // NOLINT: `Event = nullptr` unbinds

  // Binds any callable with this signature (a lambda, a bound method).
  template <typename Handler,
            typename = std::enable_if_t<!std::is_same_v<std::decay_t<Handler>, TEvent> &&
                                        std::is_invocable_v<Handler&, Args...>>>
  TEvent(Handler handler) : handler_(std::move(handler)) {}  // NOLINT: assignment from a lambda

  bool Assigned() const noexcept { return static_cast<bool>(handler_); }
  explicit operator bool() const noexcept { return Assigned(); }
  void Clear() noexcept { handler_ = nullptr; }

  // Calls the handler when one is bound.
  void operator()(Args... args) const {
    if (handler_) handler_(std::forward<Args>(args)...);
  }

 private:
  std::function<void(Args...)> handler_;
};

using TNotifyEvent = TEvent<void(TObject* Sender)>;

// Binds `method` of `object`; the object must outlive the binding's use.
template <typename Object, typename Class, typename... Args>
TEvent<void(Args...)> Bind(Object* object, void (Class::*method)(Args...)) {
  return TEvent<void(Args...)>([object, method](Args... args) {
    (object->*method)(std::forward<Args>(args)...);
  });
}

}  // namespace vrk
