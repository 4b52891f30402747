// The KDE Plasma ports of the region-capture helper: the layer-shell desktop exactly as on
// wlroots compositors (KWin offers layer shell to every client), with frozen pictures through
// KWin's screenshot service. Usable when the compositor offers layer surfaces, a seat and shared
// memory but no screencopy (that is the wlroots row's), and KWin's screenshot service answers on
// the session bus.
#pragma once

#include <memory>

#include "platform/kde/kde_permissions.h"
#include "platform/kde/kwin_screen_capture.h"
#include "platform/wayland/layer_shell_region_desktop.h"

namespace orvel::kde {

class KdeRegionDesktop final : public wayland::LayerShellRegionDesktop {
 public:
  // `display` null: $WAYLAND_DISPLAY.
  explicit KdeRegionDesktop(EventLoop& loop, const char* display = nullptr);

  // Valid only when usable.
  platform::Permissions& permissions() override { return *permissions_; }
  platform::ScreenCapture& capture() override { return *capture_; }

 private:
  std::unique_ptr<KdePermissions> permissions_;
  std::unique_ptr<KWinScreenCapture> capture_;
};

}  // namespace orvel::kde
