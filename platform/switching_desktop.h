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

#include "platform/capture_desktop.h"
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

// The switched ports both helpers use, and the backend that owns the live ones.
class SwitchingCaptureDesktop : public virtual CaptureDesktop {
 public:
  ~SwitchingCaptureDesktop() override;

  Screens& screens() final;
  Permissions& permissions() final;
  ScreenCapture& capture() final;
  Overlay& overlay() final;
  void onDisplayLost(Listener listener) final;
  void onInputTaken(Listener listener) final;
  void onDisplaysChanged(Listener listener) final;

 protected:
  explicit SwitchingCaptureDesktop(std::unique_ptr<CaptureDesktop> backend);
  // The backend as the helper's desktop it was handed as; `Desktop` is that type.
  template <class Desktop>
  Desktop& live() {
    return dynamic_cast<Desktop&>(*backend_);
  }
  DisplaySwitch& displaySwitch() { return switch_; }

 private:
  struct Ports;
  std::unique_ptr<CaptureDesktop> backend_;
  DisplaySwitch switch_;
  std::unique_ptr<Ports> ports_;
};

class SwitchingRegionDesktop final : public RegionDesktop, public SwitchingCaptureDesktop {
 public:
  explicit SwitchingRegionDesktop(std::unique_ptr<RegionDesktop> backend);
  ~SwitchingRegionDesktop() override;

  InputShield& shield() override;

 private:
  struct Ports;
  std::unique_ptr<Ports> ports_;
};

class SwitchingScrollDesktop final : public ScrollDesktop, public SwitchingCaptureDesktop {
 public:
  explicit SwitchingScrollDesktop(std::unique_ptr<ScrollDesktop> backend);
  ~SwitchingScrollDesktop() override;

  KeyState& keys() override;
  WindowServer& windowServer() override;
  Workspace& workspace() override;
  WindowShapes& windowShapes() override;
  ScrollEvents& scrollEvents() override;

 private:
  struct Ports;
  std::unique_ptr<Ports> ports_;
};

}  // namespace orvel::platform
