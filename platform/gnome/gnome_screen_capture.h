// The ScreenCapture port on GNOME Shell: whole monitors through mutter's ScreenCast service and
// PipeWire (takeMonitorPictures: one session for the moment's pictures, ended as soon as they
// are in), on a D-Bus connection and an event loop of this object's own, since calls come from
// background threads (one at a time; each runs the private loop until its answer). One call takes
// every monitor; the other displays' pictures wait for their own calls (PictureBatch). The
// outputs come from a Wayland connection of its own, as on the other Wayland desktops, so display
// ids are wl_output global names; a display's connector is its output's name.
//
// Windows cannot be left out: every filter gets the whole monitor. Frames are in global display
// coordinates (points); source rectangles in points relative to the display's top-left corner.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/dbus/private_session_bus.h"
#include "platform/screen_capture.h"
#include "platform/wayland/picture_batch.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::gnome {

class GnomeScreenCapture final : public platform::ScreenCapture {
 public:
  // `display` null: $WAYLAND_DISPLAY; the session bus from $DBUS_SESSION_BUS_ADDRESS.
  explicit GnomeScreenCapture(const char* display = nullptr);
  ~GnomeScreenCapture() override;

  // Nothing when mutter's ScreenCast service answers and the compositor is reachable; otherwise
  // why not, for the log.
  std::optional<std::string> whyNotAvailable();

  Expected<platform::ShareableContent, platform::PlatformError> shareableContent(
      bool excludeDesktopWindows, bool onScreenWindowsOnly) override;
  Expected<Image, platform::PlatformError> captureImage(
      const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) override;

 private:
  // Every monitor's picture, by display id.
  Expected<wayland::PictureBatch::Pictures, platform::PlatformError> captureAll();

  std::mutex mutex_;  // guards everything below
  dbus::PrivateSessionBus session_;
  std::unique_ptr<wayland::WaylandConnection> connection_;
  wayland::PictureBatch batch_;
};

}  // namespace orvel::gnome
