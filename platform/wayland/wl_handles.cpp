#include "platform/wayland/wl_handles.h"

#include <wayland-client.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon.h>

#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-activation-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace orvel::wayland {

namespace {

// Objects whose protocol gained a release request: servers older than that get the plain destroy.
template <class T>
void releaseOrDestroy(T* p, std::uint32_t releaseSince, void (*release)(T*), void (*destroy)(T*)) {
  if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(p)) >= releaseSince) {
    release(p);
  } else {
    destroy(p);
  }
}

}  // namespace

void WlDeleter::operator()(wl_buffer* p) const {
  wl_buffer_destroy(p);
}
void WlDeleter::operator()(wl_callback* p) const {
  wl_callback_destroy(p);
}
void WlDeleter::operator()(wl_compositor* p) const {
  wl_compositor_destroy(p);
}
void WlDeleter::operator()(wl_cursor_theme* p) const {
  wl_cursor_theme_destroy(p);
}
void WlDeleter::operator()(wl_keyboard* p) const {
  releaseOrDestroy(p, WL_KEYBOARD_RELEASE_SINCE_VERSION, wl_keyboard_release, wl_keyboard_destroy);
}
void WlDeleter::operator()(wl_output* p) const {
  releaseOrDestroy(p, WL_OUTPUT_RELEASE_SINCE_VERSION, wl_output_release, wl_output_destroy);
}
void WlDeleter::operator()(wl_pointer* p) const {
  releaseOrDestroy(p, WL_POINTER_RELEASE_SINCE_VERSION, wl_pointer_release, wl_pointer_destroy);
}
void WlDeleter::operator()(wl_region* p) const {
  wl_region_destroy(p);
}
void WlDeleter::operator()(wl_registry* p) const {
  wl_registry_destroy(p);
}
void WlDeleter::operator()(wl_seat* p) const {
  releaseOrDestroy(p, WL_SEAT_RELEASE_SINCE_VERSION, wl_seat_release, wl_seat_destroy);
}
void WlDeleter::operator()(wl_shm* p) const {
  wl_shm_destroy(p);
}
void WlDeleter::operator()(wl_surface* p) const {
  wl_surface_destroy(p);
}
void WlDeleter::operator()(wp_viewport* p) const {
  wp_viewport_destroy(p);
}
void WlDeleter::operator()(wp_viewporter* p) const {
  wp_viewporter_destroy(p);
}
void WlDeleter::operator()(xdg_activation_v1* p) const {
  xdg_activation_v1_destroy(p);
}
void WlDeleter::operator()(xdg_surface* p) const {
  xdg_surface_destroy(p);
}
void WlDeleter::operator()(xdg_toplevel* p) const {
  xdg_toplevel_destroy(p);
}
void WlDeleter::operator()(xdg_wm_base* p) const {
  xdg_wm_base_destroy(p);
}
void WlDeleter::operator()(xkb_context* p) const {
  xkb_context_unref(p);
}
void WlDeleter::operator()(xkb_keymap* p) const {
  xkb_keymap_unref(p);
}
void WlDeleter::operator()(xkb_state* p) const {
  xkb_state_unref(p);
}
void WlDeleter::operator()(zwlr_layer_shell_v1* p) const {
  zwlr_layer_shell_v1_destroy(p);
}
void WlDeleter::operator()(zwlr_layer_surface_v1* p) const {
  zwlr_layer_surface_v1_destroy(p);
}
void WlDeleter::operator()(zwlr_screencopy_frame_v1* p) const {
  zwlr_screencopy_frame_v1_destroy(p);
}
void WlDeleter::operator()(zwlr_screencopy_manager_v1* p) const {
  zwlr_screencopy_manager_v1_destroy(p);
}
void WlDeleter::operator()(zxdg_output_manager_v1* p) const {
  zxdg_output_manager_v1_destroy(p);
}
void WlDeleter::operator()(zxdg_output_v1* p) const {
  zxdg_output_v1_destroy(p);
}

}  // namespace orvel::wayland
