// The answer to one X request, which cannot be forgotten: the request is sent before the Reply is
// made from its cookie, the wait happens on first use, and the destructor frees the reply, or tells
// XCB to drop it when it was never used. Every wait goes through the connection, which counts the
// round trip and lets the event loop see the events the wait read (see X11Connection).
//
//   Reply<xcb_get_geometry_reply> geometry(connection, xcb_get_geometry(c, window));
//   if (geometry) use(geometry->width);  // null when the request failed
//
// Used on the connection's thread, like the connection.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <utility>

#include "platform/x11/x11_connection.h"
#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

namespace detail {
template <class Fn>
struct ReplyTraits;
template <class Value, class Cookie>
struct ReplyTraits<Value* (*)(xcb_connection_t*, Cookie, xcb_generic_error_t**)> {
  using CookieType = Cookie;
  using ValueType = Value;
};
}  // namespace detail

// `ReplyFn` is the request's xcb_*_reply function.
template <auto ReplyFn>
class Reply {
  using Traits = detail::ReplyTraits<decltype(ReplyFn)>;

 public:
  using Cookie = typename Traits::CookieType;
  using Value = typename Traits::ValueType;

  // No request: reads as a failed one.
  Reply() = default;
  Reply(X11Connection& connection, Cookie cookie) : pending_(&connection), cookie_(cookie) {
    connection.requested(cookie.sequence);
  }
  Reply(Reply&& o) noexcept
      : pending_(std::exchange(o.pending_, nullptr)),
        cookie_(o.cookie_),
        value_(std::move(o.value_)) {}
  Reply& operator=(Reply&& o) noexcept {
    if (this != &o) {
      discard();
      pending_ = std::exchange(o.pending_, nullptr);
      cookie_ = o.cookie_;
      value_ = std::move(o.value_);
    }
    return *this;
  }
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;
  ~Reply() { discard(); }

  // Waits for the reply the first time; null when the request failed.
  const Value* get() const {
    if (X11Connection* connection = std::exchange(pending_, nullptr)) {
      value_.reset(connection->await(cookie_.sequence, [this](xcb_connection_t* c) {
        xcb_generic_error_t* error = nullptr;
        Value* reply = ReplyFn(c, cookie_, &error);
        std::free(error);
        return reply;
      }));
    }
    return value_.get();
  }
  const Value* operator->() const { return get(); }
  const Value& operator*() const { return *get(); }
  explicit operator bool() const { return get() != nullptr; }

 private:
  void discard() {
    if (X11Connection* connection = std::exchange(pending_, nullptr))
      xcb_discard_reply(connection->get(), cookie_.sequence);
    value_.reset();
  }

  // Set until the reply has been awaited.
  mutable X11Connection* pending_ = nullptr;
  Cookie cookie_{};
  mutable XcbPtr<Value> value_;
};

}  // namespace orvel::x11
