// The X11 ports of the region-capture helper over one main connection whose events are handled
// on `loop`: monitors read afresh at every screen-list call, screen pictures on a connection of
// their own, the frozen-picture overlay, the input shield on its own thread and connection, and
// the registration window. Not connected when no display answers.
#pragma once

#include <memory>

#include "orvel/common/event_loop.h"
#include "platform/region_desktop.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_event_pump.h"
#include "platform/x11/x11_fresh_screens.h"
#include "platform/x11/x11_frozen_overlay.h"
#include "platform/x11/x11_input_shield.h"
#include "platform/x11/x11_permissions.h"
#include "platform/x11/x11_registration_window.h"
#include "platform/x11/x11_screen_capture.h"
#include "platform/x11/x11_screens.h"

namespace orvel::x11 {

class X11RegionDesktop final : public platform::RegionDesktop {
 public:
  // `display` null: $DISPLAY.
  explicit X11RegionDesktop(EventLoop& loop, const char* display = nullptr);
  ~X11RegionDesktop() override;
  X11RegionDesktop(const X11RegionDesktop&) = delete;
  X11RegionDesktop& operator=(const X11RegionDesktop&) = delete;

  bool connected() const { return connection_ != nullptr; }
  // Valid only when connected.
  platform::Screens& screens() override { return *freshScreens_; }
  platform::Permissions& permissions() override { return permissions_; }
  platform::ScreenCapture& capture() override { return *capture_; }
  platform::Overlay& overlay() override { return *overlay_; }
  X11InputShield& shield() override { return *shield_; }
  void onDisplayLost(Listener listener) override { pump_->onConnectionLost(std::move(listener)); }
  // The grabs could not be taken after the retries.
  void onInputTaken(Listener listener) override { shield_->onGrabFailed(std::move(listener)); }

 private:
  std::unique_ptr<X11Connection> connection_;
  X11Permissions permissions_;
  std::unique_ptr<X11EventPump> pump_;
  std::unique_ptr<X11Screens> screens_;
  std::unique_ptr<X11FreshScreens> freshScreens_;
  std::unique_ptr<X11ScreenCapture> capture_;
  std::unique_ptr<X11FrozenOverlay> overlay_;
  std::unique_ptr<X11InputShield> shield_;
  std::unique_ptr<X11RegistrationWindow> registration_;
};

}  // namespace orvel::x11
