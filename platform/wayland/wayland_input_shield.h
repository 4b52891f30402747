// The InputShield port on wlroots compositors. The overlay's layer surfaces are the shield: while
// they are up they cover every output and hold the keyboard exclusively, so the compositor sends
// pointer and key input to this client and to no other. This object reads the seat's pointer and
// keyboard on the main connection (loop thread), turns pointer positions on an overlay surface
// into global display coordinates (points) and hands the events of the installed mask to the
// handler while enabled: the handler runs on the loop thread, and setEnabled may come from any
// thread. Keys are read with xkbcommon; a key before any keymap is judged by its
// evdev code. The pointer shows the theme's crosshair over the overlay.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>

#include "orvel/common/geometry.h"
#include "platform/input_shield.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wl_handles.h"

struct wl_cursor;

namespace orvel::wayland {

class WaylandInputShield final : public platform::InputShield {
 public:
  explicit WaylandInputShield(WaylandConnection& connection);
  ~WaylandInputShield() override;
  WaylandInputShield(const WaylandInputShield&) = delete;
  WaylandInputShield& operator=(const WaylandInputShield&) = delete;

  // False without a seat or without layer surfaces to shield with.
  bool install(std::uint64_t eventMask, Handler handler) override;
  void setEnabled(bool enabled) override { enabled_.store(enabled); }

  // An overlay surface whose top-left corner lies at `origin` (global display coordinates).
  void addSurface(wl_surface* surface, Point origin) { surfaces_[surface] = origin; }
  void removeSurface(wl_surface* surface) { surfaces_.erase(surface); }

  // Seat, pointer and keyboard events (public for the listener tables).
  void capabilities(std::uint32_t caps);
  void pointerEnter(std::uint32_t serial, wl_surface* surface, double x, double y);
  void pointerLeave(wl_surface* surface);
  void pointerMotion(double x, double y);
  void pointerButton(std::uint32_t button, bool pressed);
  void pointerAxis();
  void keymap(std::uint32_t format, int fd, std::uint32_t size);
  void key(std::uint32_t key, bool pressed);
  void modifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                 std::uint32_t group);

 private:
  void deliver(std::uint32_t type, std::uint16_t keyCode = 0);
  void setCrosshair(std::uint32_t serial);

  WaylandConnection& connection_;
  std::uint64_t mask_ = 0;
  Handler handler_;
  bool installed_ = false;
  std::atomic<bool> enabled_{false};
  WlPtr<wl_pointer> pointer_;
  WlPtr<wl_keyboard> keyboard_;
  WlPtr<xkb_context> xkb_;
  WlPtr<xkb_keymap> keymap_;
  WlPtr<xkb_state> state_;
  WlPtr<wl_cursor_theme> cursorTheme_;
  wl_cursor* crosshair_ = nullptr;
  WlPtr<wl_surface> cursorSurface_;
  std::map<wl_surface*, Point> surfaces_;
  wl_surface* under_ = nullptr;  // the overlay surface under the pointer
  Point location_;               // global display coordinates
  bool leftDown_ = false, rightDown_ = false, otherDown_ = false;
};

}  // namespace orvel::wayland
