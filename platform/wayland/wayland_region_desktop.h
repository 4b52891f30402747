// The Wayland ports of the region-capture helper over one main connection whose events are
// handled on `loop`: the outputs read afresh at every screen-list call, screen pictures on a
// connection of their own, the layer-surface overlay and the input shield that it makes. Usable
// only when the compositor offers layer surfaces, screencopy and a seat (wlroots compositors).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "orvel/common/event_loop.h"
#include "platform/region_desktop.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_event_pump.h"
#include "platform/wayland/wayland_input_shield.h"
#include "platform/wayland/wayland_overlay.h"
#include "platform/wayland/wayland_permissions.h"
#include "platform/wayland/wayland_screen_capture.h"
#include "platform/wayland/wayland_screens.h"

namespace orvel::wayland {

class WaylandRegionDesktop final : public platform::RegionDesktop {
 public:
  // `display` null: $WAYLAND_DISPLAY.
  explicit WaylandRegionDesktop(EventLoop& loop, const char* display = nullptr);
  ~WaylandRegionDesktop() override;
  WaylandRegionDesktop(const WaylandRegionDesktop&) = delete;
  WaylandRegionDesktop& operator=(const WaylandRegionDesktop&) = delete;

  // Whether a compositor answered and offers every protocol the helper needs.
  bool usable() const { return usable_; }
  // Why not, for the log.
  const std::string& whyNot() const { return whyNot_; }
  // Valid only when usable.
  platform::Screens& screens() override { return *screens_; }
  platform::Permissions& permissions() override { return *permissions_; }
  platform::ScreenCapture& capture() override { return *capture_; }
  platform::Overlay& overlay() override { return *overlay_; }
  WaylandInputShield& shield() override { return *shield_; }
  // Runs once on the loop when the compositor goes away.
  void onDisplayLost(Listener listener) override { pump_->onConnectionLost(std::move(listener)); }
  // Another client's layer surface kept the keyboard from the overlay.
  void onInputTaken(Listener listener) override { shield_->onGrabFailed(std::move(listener)); }

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
