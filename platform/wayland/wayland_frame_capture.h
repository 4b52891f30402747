// The ScreenCapture port for repeated frames of one region on wlroots compositors: each
// captureImage is one zwlr_screencopy_manager_v1.capture_output_region of the configured source
// rectangle, in the output's own pixels, premultiplied BGRA, without the cursor, on a connection of
// this object's own whose wl_shm buffer serves every frame of the same size. Calls may come from
// any thread and are serialised.
//
// The compositor composes every client into its pictures: a filter cannot leave windows out. Source
// rectangles are points relative to the display's top-left corner; what lies outside the display
// is transparent. A frame has the configured size unless the output's scale changed since (then it
// has the output's new size, and the caller sees the change); a difference of one pixel from
// rounding a fractional scale is cut or left transparent.
//
// shareableContent() lists the outputs (global display coordinates) and sway's shown views, their
// container ids as window numbers, when a window list is given.
#pragma once

#include <memory>
#include <mutex>

#include "platform/screen_capture.h"
#include "platform/wayland/region_frame_capture.h"
#include "platform/wayland/sway_window_list.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::wayland {

class WaylandFrameCapture final : public platform::ScreenCapture {
 public:
  // `display` null: $WAYLAND_DISPLAY. `windows` may be null, and must outlive this object.
  explicit WaylandFrameCapture(const char* display = nullptr, SwayWindowList* windows = nullptr);
  ~WaylandFrameCapture() override;

  // Whether the compositor answered and offers screen pictures.
  bool available();

  Expected<platform::ShareableContent, platform::PlatformError> shareableContent(
      bool excludeDesktopWindows, bool onScreenWindowsOnly) override;
  Expected<Image, platform::PlatformError> captureImage(
      const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) override;

  // Buffers made so far: for tests and benchmarks.
  std::uint64_t buffersMade();

 private:
  std::mutex mutex_;  // guards everything below
  std::unique_ptr<WaylandConnection> connection_;
  std::unique_ptr<RegionFrameCapture> frames_;
  SwayWindowList* windows_;
};

}  // namespace orvel::wayland
