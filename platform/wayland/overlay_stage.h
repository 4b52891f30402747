// What a Wayland desktop shows over its main connection: the outputs, the overlay and the input
// shield that the overlay reads, and the pump that handles the connection's events on the loop.
// When the compositor goes away, a live overlay ends its selection as Escape would.
// Loop thread only.
#pragma once

#include <string>

#include "orvel/common/event_loop.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_event_pump.h"
#include "platform/wayland/wayland_input_shield.h"
#include "platform/wayland/wayland_overlay.h"
#include "platform/wayland/wayland_screens.h"

namespace orvel::wayland {

class OverlayStage {
 public:
  struct Options {
    WaylandOverlay::Mode mode = WaylandOverlay::Mode::kFrozen;
    FocusJudgement focusJudgement = FocusJudgement::kOnceMapped;
    WaylandOverlay::Role role = WaylandOverlay::Role::kLayerSurface;
    std::string activationToken;  // see WaylandOverlay
  };

  OverlayStage(EventLoop& loop, WaylandConnection& connection, Options options);
  OverlayStage(const OverlayStage&) = delete;
  OverlayStage& operator=(const OverlayStage&) = delete;

  WaylandEventPump& pump() { return pump_; }
  WaylandScreens& screens() { return screens_; }
  WaylandInputShield& shield() { return shield_; }
  WaylandOverlay& overlay() { return overlay_; }

 private:
  // In this order: the overlay goes first, the pump last.
  WaylandEventPump pump_;
  WaylandScreens screens_;
  WaylandInputShield shield_;
  WaylandOverlay overlay_;
};

}  // namespace orvel::wayland
