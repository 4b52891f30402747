// The Wayland ports of the region-capture helper over one main connection whose events are
// handled on `loop`: the outputs read afresh at every screen-list call, screen pictures on a
// connection of their own, the layer-surface overlay and the input shield that it makes. Usable
// only when the compositor offers layer surfaces, screencopy and a seat (wlroots compositors); the
// caller then wires these ports, otherwise another backend.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "orvel/common/event_loop.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_event_pump.h"
#include "platform/wayland/wayland_input_shield.h"
#include "platform/wayland/wayland_overlay.h"
#include "platform/wayland/wayland_permissions.h"
#include "platform/wayland/wayland_screen_capture.h"
#include "platform/wayland/wayland_screens.h"

namespace orvel::wayland {

class WaylandRegionDesktop {
 public:
  // `display` null: $WAYLAND_DISPLAY.
  explicit WaylandRegionDesktop(EventLoop& loop, const char* display = nullptr);
  ~WaylandRegionDesktop();
  WaylandRegionDesktop(const WaylandRegionDesktop&) = delete;
  WaylandRegionDesktop& operator=(const WaylandRegionDesktop&) = delete;

  // Whether a compositor answered and offers every protocol the helper needs.
  bool usable() const { return usable_; }
  // Why not, for the log.
  const std::string& whyNot() const { return whyNot_; }
  // Valid only when usable.
  platform::Screens& screens() { return *screens_; }
  platform::Permissions& permissions() { return *permissions_; }
  platform::ScreenCapture& capture() { return *capture_; }
  platform::Overlay& overlay() { return *overlay_; }
  WaylandInputShield& shield() { return *shield_; }
  // Runs once on the loop when the compositor goes away.
  void onCompositorLost(std::function<void()> fn) { pump_->onConnectionLost(std::move(fn)); }

 private:
  bool usable_ = false;
  std::string whyNot_;
  std::shared_ptr<StallWatch> stalls_;
  std::unique_ptr<WaylandConnection> connection_;
  std::unique_ptr<WaylandEventPump> pump_;
  std::unique_ptr<WaylandScreens> screens_;
  std::unique_ptr<WaylandPermissions> permissions_;
  std::unique_ptr<WaylandScreenCapture> capture_;
  std::unique_ptr<WaylandInputShield> shield_;
  std::unique_ptr<WaylandOverlay> overlay_;
};

}  // namespace orvel::wayland
