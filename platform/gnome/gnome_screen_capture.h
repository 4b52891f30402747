// The ScreenCapture port on GNOME Shell: whole monitors through mutter's ScreenCast service and
// PipeWire (monitor_pictures.h), with the connections of screen_cast_port.h, whose event loop runs
// on a thread of this object's own (SerialWorker) to which every call hands its work and waits:
// calls come from background threads, PipeWire's loop must stay on one. One call takes every
// monitor; the other displays' pictures wait for their own calls (PictureBatch). A display's
// connector is its output's name.
//
// A capture session's hold (holdExclusions, taken at "prepare") opens the recording of every
// monitor at once on that thread, so that the capture that follows finds it started and takes the
// newest frames (read as they come meanwhile); the recording ends as soon as the pictures are in,
// or when the hold goes without a capture. GNOME shows its sharing indicator meanwhile. A capture
// that finds no recording opens one of its own.
//
// Every filter gets the whole monitor. Frames are in global display coordinates (points); source
// rectangles in points relative to the display's top-left corner.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/gnome/screen_cast_port.h"
#include "platform/gnome/serial_worker.h"
#include "platform/wayland/picture_batch.h"

namespace orvel::gnome {

class MonitorRecording;

class GnomeScreenCapture final : public ScreenCastPort {
 public:
  explicit GnomeScreenCapture(const char* display = nullptr);
  ~GnomeScreenCapture() override;

  // Starts recording every monitor for the capture to come (see above). Any thread.
  std::unique_ptr<platform::ExclusionHold> holdExclusions() override;

  // Whether a recording opened for a hold is waiting for its capture: for tests.
  bool prepared();

 private:
  class Hold;
  // Hands `job` to the worker and waits for it.
  void runSerially(const std::function<void()>& job) override;
  // Takes every monitor at the first call of a batch (captureAll), then the display's picture.
  Expected<Image, platform::PlatformError> takePicture(
      const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) override;
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

  std::atomic<std::uint64_t> lastHold_ = 0;
  std::atomic<std::uint64_t> wanted_ = 0;  // the hold whose capture will come; 0 for none
  // Used on the worker only, as the port's connections: PipeWire's loop stays on the thread that
  // entered it.
  std::unique_ptr<MonitorRecording> prepared_;
  wayland::PictureBatch batch_;
  std::unique_ptr<SerialWorker> worker_;  // last: its jobs use the above
};

}  // namespace orvel::gnome
