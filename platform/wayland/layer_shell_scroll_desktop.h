// What the scroll-capture helper's desktop is on any Wayland compositor that lets a client cover
// every output with a live selection overlay: the outputs read afresh at every screen-list call,
// the overlay and the input shield it reads, the keys (a Wayland client sees none outside its own
// surfaces), and no window shapes (Wayland has none to read), over one main connection whose
// events are handled on the loop. A backend derives from it and brings what differs between
// compositors: frames, the window list, focus and the wheel, and what is allowed.
#pragma once

#include <memory>
#include <string>

#include "orvel/common/event_loop.h"
#include "platform/null_desktop.h"
#include "platform/scroll_desktop.h"
#include "platform/wayland/staged_desktop.h"
#include "platform/wayland/wayland_key_state.h"

namespace orvel::wayland {

class LayerShellScrollDesktop : public platform::ScrollDesktop, public StagedDesktop {
 public:
  ~LayerShellScrollDesktop() override;

  // Valid only when usable.
  platform::Screens& screens() override { return stage().screens(); }
  platform::Permissions& permissions() override { return *ports_.permissions; }
  platform::KeyState& keys() override { return keys_; }
  platform::WindowServer& windowServer() override { return *ports_.windowServer; }
  platform::Workspace& workspace() override { return *ports_.workspace; }
  platform::WindowShapes& windowShapes() override { return none_.windowShapes(); }
  platform::Overlay& overlay() override { return stage().overlay(); }
  platform::ScrollEvents& scrollEvents() override { return *ports_.scrollEvents; }
  // Runs once on the loop when the compositor goes away.
  void onDisplayLost(Listener listener) override {
    stage().pump().onConnectionLost(std::move(listener));
  }
  void onInputTaken(Listener) override {}

 protected:
  // What a backend brings once the stage is up.
  struct Ports {
    std::unique_ptr<platform::Permissions> permissions;
    std::unique_ptr<platform::WindowServer> windowServer;
    std::unique_ptr<platform::Workspace> workspace;
    std::unique_ptr<platform::ScrollEvents> scrollEvents;
  };

  using StagedDesktop::StagedDesktop;
  // Once the backend found the compositor usable: the outputs, the shield and the live overlay.
  // `judgement`: see WaylandInputShield; `role` and `activationToken`: see WaylandOverlay.
  void start(EventLoop& loop, FocusJudgement judgement,
             WaylandOverlay::Role role = WaylandOverlay::Role::kLayerSurface,
             std::string activationToken = {}) {
    OverlayStage::Options options;
    options.mode = WaylandOverlay::Mode::kLive;
    options.focusJudgement = judgement;
    options.role = role;
    options.activationToken = std::move(activationToken);
    startStage(loop, std::move(options));
  }
  void serve(Ports ports) { ports_ = std::move(ports); }
  // Ends the ports, then the stage whose outputs they refer to; a backend calls it first in its
  // destructor, before what the ports refer to goes.
  void stop() {
    ports_ = {};
    endStage();
  }

 private:
  platform::NullDesktop none_;
  WaylandKeyState keys_;
  Ports ports_;
};

}  // namespace orvel::wayland
