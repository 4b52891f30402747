// The InputShield port on Wayland desktops. The overlay's surfaces are the shield: while they are
// up they cover every output and hold the keyboard (layer surfaces exclusively; on GNOME Shell,
// fullscreen windows as the focused window), so the compositor sends pointer and key input to
// this client and to no other. This object reads the seat's pointer and
// keyboard on the main connection (loop thread), turns pointer positions on an overlay surface
// into global display coordinates (points) and hands the events of the installed mask to the
// handler while enabled: the handler runs on the loop thread, and setEnabled may come from any
// thread. Keys are read with xkbcommon; a key before any keymap is judged by its
// evdev code. The pointer shows the theme's crosshair over the overlay.
//
// Another client's layer surface may hold the keyboard already (another capture's overlay, a
// locker): the compositor then leaves ours without it, and whatever the overlay covers is that
// client's. So once the compositor has decided whether to focus a new overlay surface, a seat
// with a keyboard whose focus is on none of the overlay's surfaces counts as held elsewhere. When
// it has decided is the compositor's own (FocusJudgement).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "orvel/common/geometry.h"
#include "platform/input_shield.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wl_handles.h"

struct wl_cursor;

namespace orvel::wayland {

// When the shield judges the keyboard's focus for a new overlay surface.
enum class FocusJudgement {
  // wlroots compositors focus a layer surface when it is mapped: by the answer to a sync sent
  // after the answer that followed its first commit.
  kOnceMapped,
  // KWin focuses a layer surface, and mutter a new window, when it shows its first buffer, which
  // on a busy machine is after that answer, and sends the keyboard's enter before the frame
  // callback of that buffer: by the answer to a sync sent when the surface's first frame was
  // shown (surfaceShown()).
  kOnceShown,
};

class WaylandInputShield final : public platform::InputShield {
 public:
  explicit WaylandInputShield(WaylandConnection& connection,
                              FocusJudgement judgement = FocusJudgement::kOnceMapped);
  ~WaylandInputShield() override;
  WaylandInputShield(const WaylandInputShield&) = delete;
  WaylandInputShield& operator=(const WaylandInputShield&) = delete;

  // False without a seat or without surfaces to shield with (layer surfaces or, where there are
  // none, fullscreen windows).
  bool install(std::uint64_t eventMask, Handler handler) override;
  void setEnabled(bool enabled) override { enabled_.store(enabled); }

  // An overlay surface whose top-left corner lies at `origin` (global display coordinates), just
  // committed for the first time; each of its surface units is `unit` points.
  void addSurface(wl_surface* surface, Point origin, double unit = 1);
  void removeSurface(wl_surface* surface);
  // The compositor has shown an overlay surface's first frame (its frame callback came).
  void surfaceShown(wl_surface* surface);
  // Runs on the loop thread when an overlay surface was mapped without the keyboard (see above).
  void onGrabFailed(std::function<void()> fn) { grabFailed_ = std::move(fn); }

  // Seat, pointer and keyboard events (public for the listener tables).
  void capabilities(std::uint32_t caps);
  void pointerEnter(std::uint32_t serial, wl_surface* surface, double x, double y);
  void pointerLeave(wl_surface* surface);
  void pointerMotion(double x, double y);
  void pointerButton(std::uint32_t button, bool pressed);
  void pointerAxis();
  void keymap(std::uint32_t format, int fd, std::uint32_t size);
  void keyboardEnter(wl_surface* surface) { keyboardOn_ = surface; }
  void keyboardLeave(wl_surface* surface) {
    if (keyboardOn_ == surface) keyboardOn_ = nullptr;
  }
  void synced(wl_callback* callback);
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
  struct Placed {
    Point origin;
    double unit = 1;
  };
  std::map<wl_surface*, Placed> surfaces_;
  // Syncs on their way for the keyboard check: first the one after a surface's first commit, then
  // the one sent when that was answered. The surface is null once it is removed.
  struct FocusCheck {
    WlPtr<wl_callback> sync;
    wl_surface* surface;
    bool second;
  };
  std::vector<FocusCheck> checks_;
  FocusJudgement judgement_;
  wl_surface* keyboardOn_ = nullptr;
  std::function<void()> grabFailed_;
  wl_surface* under_ = nullptr;  // the overlay surface under the pointer
  Point location_;               // global display coordinates
  bool leftDown_ = false, rightDown_ = false, otherDown_ = false;
};

}  // namespace orvel::wayland
