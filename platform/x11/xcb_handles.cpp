#include "platform/x11/xcb_handles.h"

#include <xcb/damage.h>
#include <xcb/render.h>

namespace orvel::x11::detail {

// Unchecked: a failure (the connection is gone, the resource already freed) is harmless here.
void destroyWindow(xcb_connection_t* c, std::uint32_t id) {
  xcb_destroy_window(c, id);
}
void freePixmap(xcb_connection_t* c, std::uint32_t id) {
  xcb_free_pixmap(c, id);
}
void freeGC(xcb_connection_t* c, std::uint32_t id) {
  xcb_free_gc(c, id);
}
void freeColormap(xcb_connection_t* c, std::uint32_t id) {
  xcb_free_colormap(c, id);
}
void freeCursor(xcb_connection_t* c, std::uint32_t id) {
  xcb_free_cursor(c, id);
}
void freePicture(xcb_connection_t* c, std::uint32_t id) {
  xcb_render_free_picture(c, id);
}

void destroyDamage(xcb_connection_t* c, std::uint32_t id) {
  xcb_damage_destroy(c, id);
}

}  // namespace orvel::x11::detail
