// The region-capture helper's desktop on wlroots compositors: the layer-shell desktop with
// screen pictures through screencopy on a connection of their own. Usable only when the
// compositor offers layer surfaces, screencopy and a seat.
#pragma once

#include <memory>

#include "platform/wayland/layer_shell_region_desktop.h"
#include "platform/wayland/wayland_permissions.h"
#include "platform/wayland/wayland_screen_capture.h"

namespace orvel::wayland {

class WaylandRegionDesktop final : public LayerShellRegionDesktop {
 public:
  // `display` null: $WAYLAND_DISPLAY.
  explicit WaylandRegionDesktop(EventLoop& loop, const char* display = nullptr);

  // Valid only when usable.
  platform::Permissions& permissions() override { return *permissions_; }
  platform::ScreenCapture& capture() override { return *capture_; }

 private:
  WaylandRegionDesktop(EventLoop& loop, const char* display, std::shared_ptr<StallWatch> stalls);

  std::shared_ptr<StallWatch> stalls_;
  std::unique_ptr<WaylandPermissions> permissions_;
  std::unique_ptr<WaylandScreenCapture> capture_;
};

}  // namespace orvel::wayland
