// Handlers run guarded: an exception escaping a handler is shown in a box (the application
// title, a stop icon, the message) and the program goes on, so that no exception unwinds
// through Qt. Every handler of a window is connected through GuardedConnect.
#pragma once

#include <QObject>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

namespace platform::gui {

// Shows an exception's message (ANSI bytes) in the application's exception box. A message
// that does not end in a character at or below '.' gets a '.' appended, as the class library
// shows its exceptions.
void ShowHandlerException(const std::exception& error);
void ShowHandlerException(const char* message);

// The number of guarded handlers running now (nested handlers count each).
int HandlerDepth();

namespace internal {
void EnterHandler();
void LeaveHandler();  // when the outermost handler returns, deferred activations are queued
}  // namespace internal

// Runs `fn` as a handler: counts it for HandlerDepth, shows an exception escaping it and
// returns normally.
template <typename Fn>
void RunGuarded(Fn&& fn) {
  internal::EnterHandler();
  try {
    std::forward<Fn>(fn)();
  } catch (const std::exception& error) {
    ShowHandlerException(error);
  } catch (...) {
    ShowHandlerException("Unknown exception");
  }
  internal::LeaveHandler();
}

namespace internal {

template <typename Receiver, typename Handler, typename... Args>
void InvokeHandler(Receiver* receiver, Handler& handler, Args&&... args) {
  if constexpr (std::is_member_function_pointer_v<Handler>) {
    if constexpr (std::is_invocable_v<Handler&, Receiver*, Args...>)
      std::invoke(handler, receiver, std::forward<Args>(args)...);
    else
      std::invoke(handler, receiver);
  } else {
    if constexpr (std::is_invocable_v<Handler&, Args...>)
      std::invoke(handler, std::forward<Args>(args)...);
    else
      std::invoke(handler);
  }
}

}  // namespace internal

// Connects `signal` of `sender` to `handler`, run guarded. `handler` is a member function of
// Receiver or any callable; it takes the signal's arguments or none. The connection ends
// with `receiver`. Handlers run synchronously (direct connection).
template <typename Sender, typename SignalClass, typename... SignalArgs, typename Receiver,
          typename Handler>
QMetaObject::Connection GuardedConnect(Sender* sender, void (SignalClass::*signal)(SignalArgs...),
                                       Receiver* receiver, Handler handler) {
  static_assert(std::is_base_of_v<QObject, Receiver>, "the receiver must be a QObject");
  if constexpr (std::is_member_function_pointer_v<Handler>
                    ? std::is_invocable_v<Handler&, Receiver*>
                    : std::is_invocable_v<Handler&>) {
    // A handler without arguments fits every signal (private signals included).
    return QObject::connect(sender, signal, receiver, [receiver, handler]() mutable {
      RunGuarded([&] { internal::InvokeHandler(receiver, handler); });
    });
  } else {
    return QObject::connect(
        sender, signal, receiver, [receiver, handler](SignalArgs... args) mutable {
          RunGuarded([&] {
            internal::InvokeHandler(receiver, handler, std::forward<SignalArgs>(args)...);
          });
        });
  }
}

}  // namespace platform::gui
