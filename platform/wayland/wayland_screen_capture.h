// The ScreenCapture port on wlroots compositors: zwlr_screencopy_manager_v1 pictures of whole
// outputs, copied into wl_shm buffers, on a connection of this object's own (calls come from
// background threads). One call asks for every output at once, so that the pictures of one
// capture show the same moment; the other outputs' pictures wait for their own calls, for at most
// kBatchLifetime. The cursor is never in the pictures.
//
// The compositor decides what a picture holds: windows cannot be left out, so every filter gets
// the whole output. Frames are in global display coordinates (points); source rectangles in
// points relative to the display's top-left corner.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/screen_capture.h"
#include "platform/wayland/picture_batch.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::wayland {

// The compositor's outputs after a round trip, in global display coordinates; an error when it does
// not answer.
Expected<platform::ShareableContent, platform::PlatformError> outputsAsContent(
    WaylandConnection* connection);
// The same, for a compositor that composes every client into its pictures: the applications listed
// are the ones the pictures are meant to leave out, this helper's (never mapped when pictures are
// taken) and its host's (which stays in them).
Expected<platform::ShareableContent, platform::PlatformError> composedOutputsAsContent(
    WaylandConnection* connection);

class WaylandScreenCapture final : public platform::ScreenCapture {
 public:
  // `display` null: $WAYLAND_DISPLAY. `stalls`: shared with the helper's other connections.
  explicit WaylandScreenCapture(const char* display = nullptr,
                                std::shared_ptr<StallWatch> stalls = nullptr);
  ~WaylandScreenCapture() override;

  // Whether the compositor answered and offers screen pictures.
  bool available();

  Expected<platform::ShareableContent, platform::PlatformError> shareableContent(
      bool excludeDesktopWindows, bool onScreenWindowsOnly) override;
  Expected<Image, platform::PlatformError> captureImage(
      const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) override;

 private:
  using Pictures = PictureBatch::Pictures;
  // Pictures of every output, taken together.
  Expected<Pictures, platform::PlatformError> captureAll();

  std::mutex mutex_;  // guards everything below
  std::unique_ptr<WaylandConnection> connection_;
  PictureBatch batch_;
};

}  // namespace orvel::wayland
