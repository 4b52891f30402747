// A backend's desktop as the helpers see it: its ports answer until its display goes away, and
// from then on the null desktop's do, so that every later request gets the answer it would have
// got had no display been there at start. Listeners registered here hear of the loss after the
// switch. Ports may be called from any thread the backend allows; the switch itself is atomic.
// Objects a port handed out earlier (panels, exclusion holds) stay the backend's.
// Every virtual of every port is forwarded, those with a default answer included.
#pragma once

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "platform/null_desktop.h"
#include "platform/region_desktop.h"
#include "platform/scroll_desktop.h"

namespace orvel::platform {

// Whether a backend's display is still there, and the null desktop that answers once it is not.
// Listeners registered here hear of the loss after the switch.
class DisplaySwitch {
 public:
  explicit DisplaySwitch(DesktopEvents& backend);
  DisplaySwitch(const DisplaySwitch&) = delete;
  DisplaySwitch& operator=(const DisplaySwitch&) = delete;

  bool lost() const { return lost_.load(std::memory_order_acquire); }
  NullDesktop& none() { return none_; }
  void onLost(DesktopEvents::Listener listener) { listeners_.push_back(std::move(listener)); }

 private:
  std::atomic<bool> lost_{false};
  NullDesktop none_;
  std::vector<DesktopEvents::Listener> listeners_;
};

class SwitchingRegionDesktop final : public RegionDesktop {
 public:
  explicit SwitchingRegionDesktop(std::unique_ptr<RegionDesktop> backend);
  ~SwitchingRegionDesktop() override;

  Screens& screens() override;
  Permissions& permissions() override;
  ScreenCapture& capture() override;
  Overlay& overlay() override;
  InputShield& shield() override;
  void onDisplayLost(Listener listener) override;
  void onInputTaken(Listener listener) override;

 private:
  struct Ports;
  std::unique_ptr<RegionDesktop> backend_;
  DisplaySwitch switch_;
  std::unique_ptr<Ports> ports_;
};

class SwitchingScrollDesktop final : public ScrollDesktop {
 public:
  explicit SwitchingScrollDesktop(std::unique_ptr<ScrollDesktop> backend);
  ~SwitchingScrollDesktop() override;

  Screens& screens() override;
  Permissions& permissions() override;
  KeyState& keys() override;
  WindowServer& windowServer() override;
  Workspace& workspace() override;
  WindowShapes& windowShapes() override;
  ScreenCapture& capture() override;
  Overlay& overlay() override;
  ScrollEvents& scrollEvents() override;
  void onDisplayLost(Listener listener) override;
  void onInputTaken(Listener listener) override;

 private:
  struct Ports;
  std::unique_ptr<ScrollDesktop> backend_;
  DisplaySwitch switch_;
  std::unique_ptr<Ports> ports_;
};

}  // namespace orvel::platform
