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
// Connections and display ids as screen_cast_port.h says; source rectangles are points relative to
// the display's top-left corner, recorded in whole points of mutter's layout, the part outside the
// display left transparent. Calls may come from any thread and are serialised by a lock; each runs
// a private event loop until its answer, so frames and the service's signals move only then.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/gnome/screen_cast_port.h"

namespace orvel::gnome {

// How long a capture waits for a frame newer than its request before the newest one stands. On
// the test machine under load 8 (debug build, GTK drawing in software) a wheel click showed in a
// frame 0.2-0.6 s after the click, so the first capture after it showed it 2 times of 5; the
// scroll helper's later captures see it.
inline constexpr auto kFreshFrameWait = std::chrono::milliseconds(250);

class GnomeFrameCapture final : public ScreenCastPort {
 public:
  explicit GnomeFrameCapture(const char* display = nullptr);
  ~GnomeFrameCapture() override;

  // A new target is being chosen: the recording of the last one ends.
  std::unique_ptr<platform::ExclusionHold> holdExclusions() override;

  // Ends the recording (the target is gone); the next capture opens a new one.
  void release();
  // Whether a recording is open: for tests and benchmarks.
  bool recording();

 private:
  struct Recording;
  void runSerially(const std::function<void()>& job) override;
  Expected<Image, platform::PlatformError> takePicture(
      const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) override;
  // The newest frame of the area (x, y, width, height in mutter's layout) per the rules above.
  Expected<Image, platform::PlatformError> frameOf(int x, int y, int width, int height);
  void endRecording();

  std::mutex mutex_;  // guards the port's connections and everything below
  std::unique_ptr<Recording> recording_;
};

}  // namespace orvel::gnome
