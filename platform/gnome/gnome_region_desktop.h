// The GNOME Shell ports of the region-capture helper: the Wayland region desktop with its overlay's
// panels as fullscreen windows (GNOME offers no layer shell), and frozen pictures through mutter's
// ScreenCast service. Usable when the compositor offers desktop windows, a seat and shared memory
// but neither screencopy nor layer surfaces (the wlroots and KDE rows'), and the ScreenCast
// service answers on the session bus.
#pragma once

#include <memory>
#include <string>

#include "platform/gnome/gnome_screen_capture.h"
#include "platform/wayland/layer_shell_region_desktop.h"
#include "platform/wayland/wayland_permissions.h"

namespace orvel::gnome {

class GnomeRegionDesktop final : public wayland::LayerShellRegionDesktop {
 public:
  // `display` null: $WAYLAND_DISPLAY. `activationToken`: the host's XDG_ACTIVATION_TOKEN, spent
  // by the first overlay window shown; empty for none.
  GnomeRegionDesktop(EventLoop& loop, const char* display, std::string activationToken);

  // Valid only when usable.
  platform::Permissions& permissions() override { return *permissions_; }
  platform::ScreenCapture& capture() override { return *capture_; }

 private:
  std::unique_ptr<wayland::WaylandPermissions> permissions_;
  std::unique_ptr<GnomeScreenCapture> capture_;
};

}  // namespace orvel::gnome
