// Owning pointers for Wayland protocol objects: each is destroyed (or released) with the request
// its protocol names, exactly once.
#pragma once

#include <memory>

struct wl_buffer;
struct wl_callback;
struct wl_compositor;
struct wl_cursor_theme;
struct wl_keyboard;
struct wl_output;
struct wl_pointer;
struct wl_region;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_surface;
struct wp_viewport;
struct wp_viewporter;
struct xdg_activation_v1;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_wm_base;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct zwlr_screencopy_frame_v1;
struct zwlr_screencopy_manager_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace orvel::wayland {

struct WlDeleter {
  void operator()(wl_buffer*) const;
  void operator()(wl_callback*) const;
  void operator()(wl_compositor*) const;
  void operator()(wl_cursor_theme*) const;
  void operator()(wl_keyboard*) const;
  void operator()(wl_output*) const;
  void operator()(wl_pointer*) const;
  void operator()(wl_region*) const;
  void operator()(wl_registry*) const;
  void operator()(wl_seat*) const;
  void operator()(wl_shm*) const;
  void operator()(wl_surface*) const;
  void operator()(wp_viewport*) const;
  void operator()(wp_viewporter*) const;
  void operator()(xdg_activation_v1*) const;
  void operator()(xdg_surface*) const;
  void operator()(xdg_toplevel*) const;
  void operator()(xdg_wm_base*) const;
  void operator()(xkb_context*) const;
  void operator()(xkb_keymap*) const;
  void operator()(xkb_state*) const;
  void operator()(zwlr_layer_shell_v1*) const;
  void operator()(zwlr_layer_surface_v1*) const;
  void operator()(zwlr_screencopy_frame_v1*) const;
  void operator()(zwlr_screencopy_manager_v1*) const;
  void operator()(zxdg_output_manager_v1*) const;
  void operator()(zxdg_output_v1*) const;
};

template <class T>
using WlPtr = std::unique_ptr<T, WlDeleter>;

}  // namespace orvel::wayland
