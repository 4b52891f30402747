// The ScreenCapture port on GNOME Shell: whole monitors through mutter's ScreenCast service and
// PipeWire (monitor_pictures.h), on a D-Bus connection and an event loop of this object's own,
// run on a thread of its own (SerialWorker) to which every call hands its work and waits: calls
// come from background threads, PipeWire's loop must stay on one. One call takes every monitor; the
// other displays' pictures wait for their own calls (PictureBatch). The outputs come from a Wayland
// connection of its own, as on the other Wayland desktops, so display ids are wl_output global
// names; a display's connector is its output's name.
//
// A capture session's hold (holdExclusions, taken at "prepare") opens the recording of every
// monitor at once on that thread, so that the capture that follows finds it started and takes the
// newest frames (read as they come meanwhile); the recording ends as soon as the pictures are in,
// or when the hold goes without a capture. GNOME shows its sharing indicator meanwhile. A capture
// that finds no recording opens one of its own.
//
// Windows cannot be left out: every filter gets the whole monitor. Frames are in global display
// coordinates (points); source rectangles in points relative to the display's top-left corner.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/dbus/private_session_bus.h"
#include "platform/gnome/serial_worker.h"
#include "platform/screen_capture.h"
#include "platform/wayland/picture_batch.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::gnome {

class MonitorRecording;
class PipeWireConnection;

class GnomeScreenCapture final : public platform::ScreenCapture {
 public:
  // `display` null: $WAYLAND_DISPLAY; the session bus from $DBUS_SESSION_BUS_ADDRESS.
  explicit GnomeScreenCapture(const char* display = nullptr);
  ~GnomeScreenCapture() override;
  GnomeScreenCapture(const GnomeScreenCapture&) = delete;
  GnomeScreenCapture& operator=(const GnomeScreenCapture&) = delete;

  // Nothing when mutter's ScreenCast service answers and the compositor is reachable; otherwise
  // why not, for the log.
  std::optional<std::string> whyNotAvailable();

  // Starts recording every monitor for the capture to come (see above). Any thread.
  std::unique_ptr<platform::ExclusionHold> holdExclusions() override;
  Expected<platform::ShareableContent, platform::PlatformError> shareableContent(
      bool excludeDesktopWindows, bool onScreenWindowsOnly) override;
  Expected<Image, platform::PlatformError> captureImage(
      const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) override;

  // Whether a recording opened for a hold is waiting for its capture: for tests.
  bool prepared();

 private:
  class Hold;
  // On the worker: opens the recording for `hold` unless another hold wants one by then.
  void prepare(std::uint64_t hold);
  // The hold went: its recording, when no capture took it, ends on the worker.
  void letGo(std::uint64_t hold);
  // Ends the recording and its PipeWire connection.
  void endRecording();
  // The same as the worker's next job: ending it takes a while, and the pictures wait for none.
  void endRecordingNext();
  // Every monitor's picture, by display id.
  Expected<wayland::PictureBatch::Pictures, platform::PlatformError> captureAll();
  PipeWireConnection* pipewire();
  // Runs `job` on the worker and returns its result.
  template <class F>
  auto onWorker(F job) -> decltype(job());

  std::atomic<std::uint64_t> lastHold_ = 0;
  std::atomic<std::uint64_t> wanted_ = 0;  // the hold whose capture will come; 0 for none
  // Used on the worker only: PipeWire's loop stays on the thread that entered it.
  dbus::PrivateSessionBus session_;
  std::unique_ptr<wayland::WaylandConnection> connection_;
  std::unique_ptr<PipeWireConnection> pipewire_;
  std::unique_ptr<MonitorRecording> prepared_;
  wayland::PictureBatch batch_;
  std::unique_ptr<SerialWorker> worker_;  // last: its jobs use the above
};

}  // namespace orvel::gnome
