// The sim desktop as a backend of either helper: its ports, plus switches that raise the backend
// events (the display goes away, another client takes the input, the displays change). Listeners
// run on the caller's thread, as a test drives them.
#pragma once

#include <vector>

#include "platform/region_desktop.h"
#include "platform/scroll_desktop.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_input_shield.h"
#include "platform/sim/sim_overlay.h"
#include "platform/sim/sim_scroll_events.h"

namespace orvel::sim {

class SimBackend final : public platform::RegionDesktop, public platform::ScrollDesktop {
 public:
  explicit SimBackend(SimDesktop& desktop) : desktop_(desktop), overlay_(desktop) {}

  platform::Screens& screens() override { return desktop_; }
  platform::Permissions& permissions() override { return desktop_; }
  platform::KeyState& keys() override { return desktop_; }
  platform::WindowServer& windowServer() override { return desktop_; }
  platform::Workspace& workspace() override { return desktop_; }
  platform::WindowShapes& windowShapes() override { return desktop_; }
  platform::ScreenCapture& capture() override { return desktop_; }
  SimOverlay& overlay() override { return overlay_; }
  SimScrollEvents& scrollEvents() override { return scrollEvents_; }
  SimInputShield& shield() override { return shield_; }
  void onDisplayLost(Listener listener) override { lost_.push_back(std::move(listener)); }
  void onInputTaken(Listener listener) override { taken_.push_back(std::move(listener)); }
  void onDisplaysChanged(Listener listener) override { changed_.push_back(std::move(listener)); }

  // ---- switches ----------------------------------------------------------------------------
  void loseDisplay() {
    for (auto& listener : lost_)
      listener();
  }
  void takeInput() {
    for (auto& listener : taken_)
      listener();
  }
  // Tells that the displays may have changed; the scene says whether they did.
  void changeDisplays() {
    for (auto& listener : changed_)
      listener();
  }

 private:
  SimDesktop& desktop_;
  SimOverlay overlay_;
  SimScrollEvents scrollEvents_;
  SimInputShield shield_;
  std::vector<Listener> lost_;
  std::vector<Listener> taken_;
  std::vector<Listener> changed_;
};

}  // namespace orvel::sim
