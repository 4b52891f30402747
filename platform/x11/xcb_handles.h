// Ownership of what XCB allocates and of X resources. Every reply, error and event is freed and
// every server-side resource is released by its owner's destructor, so no early return leaks
// either. Replies are awaited through Reply (x11_reply.h).
#pragma once

#include <xcb/damage.h>
#include <xcb/render.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <utility>

namespace orvel::x11 {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// A reply, error or event that XCB allocated with malloc.
template <class T>
using XcbPtr = std::unique_ptr<T, FreeDeleter>;

using XcbError = XcbPtr<xcb_generic_error_t>;

// A server-side resource (window, pixmap, GC, picture, cursor) freed by the request `Release` on
// destruction. Unchecked: a failure (the connection is gone, the resource already freed) is
// harmless there.
template <auto Release>
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

using XWindow = XResource<xcb_destroy_window>;
using XPixmap = XResource<xcb_free_pixmap>;
using XGC = XResource<xcb_free_gc>;
using XColormap = XResource<xcb_free_colormap>;
using XCursor = XResource<xcb_free_cursor>;
using XPicture = XResource<xcb_render_free_picture>;
using XDamage = XResource<xcb_damage_destroy>;

}  // namespace orvel::x11
