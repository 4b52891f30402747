// Ownership of XCB replies and X resources. Every reply is freed and every server-side resource is
// released by its owner's destructor, so no early return leaks either.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <utility>

namespace orvel::x11 {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// A reply or error that XCB allocated with malloc.
template <class T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

using XcbError = XcbReply<xcb_generic_error_t>;

// Waits for the reply of `cookie` with `fn` (an xcb_*_reply function). Null when the request
// failed; the error, if any, is freed here.
template <class Fn, class Cookie>
auto takeReply(xcb_connection_t* c, Fn fn, Cookie cookie) {
  xcb_generic_error_t* error = nullptr;
  auto* reply = fn(c, cookie, &error);
  std::free(error);
  return XcbReply<std::remove_pointer_t<decltype(reply)>>(reply);
}

// The error of a checked request without a reply; null on success.
inline XcbError checkRequest(xcb_connection_t* c, xcb_void_cookie_t cookie) {
  return XcbError(xcb_request_check(c, cookie));
}

// A server-side resource (window, pixmap, GC, picture, cursor) freed by `Release` on destruction.
template <void (*Release)(xcb_connection_t*, std::uint32_t)>
class XResource {
 public:
  XResource() = default;
  XResource(xcb_connection_t* c, std::uint32_t id) : c_(c), id_(id) {}
  XResource(XResource&& o) noexcept : c_(o.c_), id_(std::exchange(o.id_, 0)) {}
  XResource& operator=(XResource&& o) noexcept {
    if (this != &o) {
      reset();
      c_ = o.c_;
      id_ = std::exchange(o.id_, 0);
    }
    return *this;
  }
  XResource(const XResource&) = delete;
  XResource& operator=(const XResource&) = delete;
  ~XResource() { reset(); }

  std::uint32_t id() const { return id_; }
  explicit operator bool() const { return id_ != 0; }
  void reset() {
    if (id_ != 0) Release(c_, id_);
    id_ = 0;
  }

 private:
  xcb_connection_t* c_ = nullptr;
  std::uint32_t id_ = 0;
};

namespace detail {
void destroyWindow(xcb_connection_t* c, std::uint32_t id);
void freePixmap(xcb_connection_t* c, std::uint32_t id);
void freeGC(xcb_connection_t* c, std::uint32_t id);
void freeColormap(xcb_connection_t* c, std::uint32_t id);
void freeCursor(xcb_connection_t* c, std::uint32_t id);
void freePicture(xcb_connection_t* c, std::uint32_t id);
void destroyDamage(xcb_connection_t* c, std::uint32_t id);
}  // namespace detail

using XWindow = XResource<detail::destroyWindow>;
using XPixmap = XResource<detail::freePixmap>;
using XGC = XResource<detail::freeGC>;
using XColormap = XResource<detail::freeColormap>;
using XCursor = XResource<detail::freeCursor>;
using XPicture = XResource<detail::freePicture>;
using XDamage = XResource<detail::destroyDamage>;

}  // namespace orvel::x11
