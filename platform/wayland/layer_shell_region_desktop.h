// What the region-capture helper's desktop is on any compositor that offers layer surfaces to
// every client: the outputs read afresh at every screen-list call, the layer-surface overlay and
// the input shield that it makes, over one main connection whose events are handled on the loop.
// A backend derives from it and brings what differs between compositors: how screens are
// pictured and what is allowed.
#pragma once

#include <memory>
#include <string>

#include "orvel/common/event_loop.h"
#include "platform/region_desktop.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_event_pump.h"
#include "platform/wayland/wayland_input_shield.h"
#include "platform/wayland/wayland_overlay.h"
#include "platform/wayland/wayland_screens.h"

namespace orvel::wayland {

class LayerShellRegionDesktop : public platform::RegionDesktop {
 public:
  ~LayerShellRegionDesktop() override;
  LayerShellRegionDesktop(const LayerShellRegionDesktop&) = delete;
  LayerShellRegionDesktop& operator=(const LayerShellRegionDesktop&) = delete;

  // Whether the compositor answered and offers everything the backend needs; why not, for the log.
  bool usable() const { return usable_; }
  const std::string& whyNot() const { return whyNot_; }
  // Valid only when usable.
  platform::Screens& screens() override { return *screens_; }
  platform::Overlay& overlay() override { return *overlay_; }
  WaylandInputShield& shield() override { return *shield_; }
  // Runs once on the loop when the compositor goes away.
  void onDisplayLost(Listener listener) override { pump_->onConnectionLost(std::move(listener)); }
  // Another client's layer surface kept the keyboard from the overlay.
  void onInputTaken(Listener listener) override { shield_->onGrabFailed(std::move(listener)); }

 protected:
  // `connection` null: no compositor answered.
  explicit LayerShellRegionDesktop(std::unique_ptr<WaylandConnection> connection);
  // Null when no compositor answered.
  WaylandConnection* connection() const { return connection_.get(); }
  void decline(std::string why) { whyNot_ = std::move(why); }
  // Once the backend found the compositor usable: the outputs, the shield and the overlay.
  // `judgesFocus`: see WaylandInputShield.
  void start(EventLoop& loop, bool judgesFocus);

 private:
  bool usable_ = false;
  std::string whyNot_;
  std::unique_ptr<WaylandConnection> connection_;
  std::unique_ptr<WaylandEventPump> pump_;
  std::unique_ptr<WaylandScreens> screens_;
  std::unique_ptr<WaylandInputShield> shield_;
  std::unique_ptr<WaylandOverlay> overlay_;
};

}  // namespace orvel::wayland
