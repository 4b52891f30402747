// The ScreenCapture port on KDE Plasma: whole outputs through KWin's screenshot service
// (CaptureScreen, no cursor, the output's own pixels), and a configuration's source rectangle
// alone through CaptureArea (the scroll helper's frames), on a D-Bus connection and an event loop
// of this object's own, since calls come from background threads (one at a time; each runs the
// private loop until its answer). The outputs come from a Wayland connection of its own, as on
// wlroots compositors, so display ids are wl_output global names there too.
//
// Windows cannot be left out: every filter gets the whole output. Frames are in global display
// coordinates (points); source rectangles in points relative to the display's top-left corner.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/dbus/private_session_bus.h"
#include "platform/kde/screenshot2.h"
#include "platform/screen_capture.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::kde {

class KWinScreenCapture final : public platform::ScreenCapture {
 public:
  // `display` null: $WAYLAND_DISPLAY; the session bus from $DBUS_SESSION_BUS_ADDRESS.
  explicit KWinScreenCapture(const char* display = nullptr);
  ~KWinScreenCapture() override;

  // Nothing when KWin's screenshot service answers and the compositor is reachable; otherwise
  // why not, for the log.
  std::optional<std::string> whyNotAvailable();
  // Whether KWin gives this program pictures; when it does not, `refusal` is its message.
  bool authorised(std::string& refusal);

  Expected<platform::ShareableContent, platform::PlatformError> shareableContent(
      bool excludeDesktopWindows, bool onScreenWindowsOnly) override;
  Expected<Image, platform::PlatformError> captureImage(
      const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) override;

 private:
  // The source rectangle of `config` on `output`, at the configured size.
  Expected<Image, platform::PlatformError> captureArea(
      const wayland::WaylandOutput& output, const platform::CaptureConfiguration& config);

  std::mutex mutex_;  // guards everything below
  dbus::PrivateSessionBus session_;
  std::unique_ptr<Screenshot2> service_;
  std::unique_ptr<wayland::WaylandConnection> connection_;
};

}  // namespace orvel::kde
