// The KDE Plasma ports of the region-capture helper: the outputs, the layer-surface overlay and
// the input shield exactly as on wlroots compositors (KWin offers layer shell to every client),
// and frozen pictures through KWin's screenshot service. Usable when the compositor offers layer
// surfaces, a seat and shared memory but no screencopy (that is the wlroots row's), and KWin's
// screenshot service answers on the session bus.
#pragma once

#include <memory>
#include <string>

#include "orvel/common/event_loop.h"
#include "platform/kde/kde_permissions.h"
#include "platform/kde/kwin_screen_capture.h"
#include "platform/region_desktop.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_event_pump.h"
#include "platform/wayland/wayland_input_shield.h"
#include "platform/wayland/wayland_overlay.h"
#include "platform/wayland/wayland_screens.h"

namespace orvel::kde {

class KdeRegionDesktop final : public platform::RegionDesktop {
 public:
  // `display` null: $WAYLAND_DISPLAY.
  explicit KdeRegionDesktop(EventLoop& loop, const char* display = nullptr);
  ~KdeRegionDesktop() override;
  KdeRegionDesktop(const KdeRegionDesktop&) = delete;
  KdeRegionDesktop& operator=(const KdeRegionDesktop&) = delete;

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
  std::unique_ptr<KdePermissions> permissions_;
  std::unique_ptr<KWinScreenCapture> capture_;
  std::unique_ptr<wayland::WaylandInputShield> shield_;
  std::unique_ptr<wayland::WaylandOverlay> overlay_;
};

}  // namespace orvel::kde
