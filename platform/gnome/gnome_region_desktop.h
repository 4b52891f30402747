// The GNOME Shell ports of the region-capture helper: the outputs and the input shield as on the
// other Wayland desktops, the overlay's panels as fullscreen windows (GNOME offers no layer
// shell), and frozen pictures through mutter's ScreenCast service. Usable when the compositor
// offers desktop windows, a seat and shared memory but neither screencopy nor layer surfaces (the
// wlroots and KDE rows'), and the ScreenCast service answers on the session bus.
#pragma once

#include <memory>
#include <string>

#include "orvel/common/event_loop.h"
#include "platform/gnome/gnome_screen_capture.h"
#include "platform/region_desktop.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_event_pump.h"
#include "platform/wayland/wayland_input_shield.h"
#include "platform/wayland/wayland_overlay.h"
#include "platform/wayland/wayland_permissions.h"
#include "platform/wayland/wayland_screens.h"

namespace orvel::gnome {

class GnomeRegionDesktop final : public platform::RegionDesktop {
 public:
  // `display` null: $WAYLAND_DISPLAY. `activationToken`: the host's XDG_ACTIVATION_TOKEN, spent
  // by the first overlay shown; empty for none.
  GnomeRegionDesktop(EventLoop& loop, const char* display, std::string activationToken);
  ~GnomeRegionDesktop() override;
  GnomeRegionDesktop(const GnomeRegionDesktop&) = delete;
  GnomeRegionDesktop& operator=(const GnomeRegionDesktop&) = delete;

  bool usable() const { return usable_; }
  const std::string& whyNot() const { return whyNot_; }
  // Valid only when usable.
  platform::Screens& screens() override { return *screens_; }
  platform::Permissions& permissions() override { return *permissions_; }
  platform::ScreenCapture& capture() override { return *capture_; }
  platform::Overlay& overlay() override { return *overlay_; }
  wayland::WaylandInputShield& shield() override { return *shield_; }
  void onDisplayLost(Listener listener) override { pump_->onConnectionLost(std::move(listener)); }
  void onInputTaken(Listener listener) override { shield_->onGrabFailed(std::move(listener)); }

 private:
  bool usable_ = false;
  std::string whyNot_;
  std::unique_ptr<wayland::WaylandConnection> connection_;
  std::unique_ptr<wayland::WaylandEventPump> pump_;
  std::unique_ptr<wayland::WaylandScreens> screens_;
  std::unique_ptr<wayland::WaylandPermissions> permissions_;
  std::unique_ptr<GnomeScreenCapture> capture_;
  std::unique_ptr<wayland::WaylandInputShield> shield_;
  std::unique_ptr<wayland::WaylandOverlay> overlay_;
};

}  // namespace orvel::gnome
