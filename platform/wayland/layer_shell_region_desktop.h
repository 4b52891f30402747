// What the region-capture helper's desktop is on any Wayland compositor that lets a client cover
// every output, with layer surfaces or, where there is no layer shell (GNOME Shell), fullscreen
// windows: the outputs read afresh at every screen-list call, the overlay and the input shield
// that it makes, over one main connection whose events are handled on the loop.
// A backend derives from it and brings what differs between compositors: how screens are
// pictured and what is allowed.
#pragma once

#include <memory>
#include <string>

#include "orvel/common/event_loop.h"
#include "platform/region_desktop.h"
#include "platform/wayland/staged_desktop.h"

namespace orvel::wayland {

class LayerShellRegionDesktop : public platform::RegionDesktop, public StagedDesktop {
 public:
  // Valid only when usable.
  platform::Screens& screens() override { return stage().screens(); }
  platform::Overlay& overlay() override { return stage().overlay(); }
  WaylandInputShield& shield() override { return stage().shield(); }
  // Runs once on the loop when the compositor goes away.
  void onDisplayLost(Listener listener) override {
    stage().pump().onConnectionLost(std::move(listener));
  }
  // Another client's layer surface kept the keyboard from the overlay.
  void onInputTaken(Listener listener) override {
    stage().shield().onGrabFailed(std::move(listener));
  }
  // An output of the main connection came or went.
  void onDisplaysChanged(Listener listener) override {
    connection()->onOutputsChanged(std::move(listener));
  }

 protected:
  using StagedDesktop::StagedDesktop;
  // Once the backend found the compositor usable: the outputs, the shield and the overlay.
  // `judgement`: see WaylandInputShield; `role` and `activationToken`: see WaylandOverlay.
  void start(EventLoop& loop, FocusJudgement judgement,
             WaylandOverlay::Role role = WaylandOverlay::Role::kLayerSurface,
             std::string activationToken = {}) {
    startStage(loop, {WaylandOverlay::Mode::kFrozen, judgement, role, std::move(activationToken)});
  }
};

}  // namespace orvel::wayland
