// The ScreenCapture port of the scroll helper on GNOME Shell: the frames of one region through a
// `RecordArea` stream of mutter's ScreenCast service (without the pointer), read from its PipeWire
// node. The recording opens at the first capture of a region and stays open for the next ones
// (a new session per frame would cost most of a second); it ends when a capture asks for another
// region, when a new selection begins (holdExclusions), on release(), when this object goes, and
// when the helper leaves the bus. GNOME shows its sharing indicator while a recording lives.
//
// A capture answers with the first frame that comes after it was asked for, so that a frame after
// a scroll shows the scrolled content. mutter sends frames only when the screen changes: when
// none comes within kFreshFrameWait, the newest frame so far stands (nothing changed).
//
// Display ids are wl_output global names of a Wayland connection of this object's own; source
// rectangles are points relative to the display's top-left corner, recorded in whole points of
// mutter's layout, the part outside the display left transparent. Windows cannot be left out.
// Calls may come from any thread and are serialised; each runs a private event loop until its
// answer, so frames and the service's signals move only then.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/dbus/private_session_bus.h"
#include "platform/screen_capture.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::gnome {

class PipeWireConnection;

// How long a capture waits for a frame newer than its request before the newest one stands. On
// the test machine under load 8 (debug build, GTK drawing in software) a wheel click showed in a
// frame 0.2-0.6 s after the click, so the first capture after it showed it 2 times of 5; the
// scroll helper's later captures see it.
inline constexpr auto kFreshFrameWait = std::chrono::milliseconds(250);

class GnomeFrameCapture final : public platform::ScreenCapture {
 public:
  // `display` null: $WAYLAND_DISPLAY; the session bus from $DBUS_SESSION_BUS_ADDRESS.
  explicit GnomeFrameCapture(const char* display = nullptr);
  ~GnomeFrameCapture() override;
  GnomeFrameCapture(const GnomeFrameCapture&) = delete;
  GnomeFrameCapture& operator=(const GnomeFrameCapture&) = delete;

  // Nothing when mutter's ScreenCast service answers and the compositor is reachable; otherwise
  // why not, for the log.
  std::optional<std::string> whyNotAvailable();

  // A new target is being chosen: the recording of the last one ends.
  std::unique_ptr<platform::ExclusionHold> holdExclusions() override;
  Expected<platform::ShareableContent, platform::PlatformError> shareableContent(
      bool excludeDesktopWindows, bool onScreenWindowsOnly) override;
  Expected<Image, platform::PlatformError> captureImage(
      const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) override;

  // Ends the recording (the target is gone); the next capture opens a new one.
  void release();
  // Whether a recording is open: for tests and benchmarks.
  bool recording();

 private:
  struct Recording;
  // The newest frame of the area (x, y, width, height in mutter's layout) per the rules above.
  Expected<Image, platform::PlatformError> frameOf(int x, int y, int width, int height);
  void endRecording();

  std::mutex mutex_;  // guards everything below
  dbus::PrivateSessionBus session_;
  std::unique_ptr<wayland::WaylandConnection> connection_;
  std::unique_ptr<PipeWireConnection> pipewire_;
  std::unique_ptr<Recording> recording_;
};

}  // namespace orvel::gnome
