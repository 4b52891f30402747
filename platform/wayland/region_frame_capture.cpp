#include "platform/wayland/region_frame_capture.h"

namespace orvel::wayland {

namespace {

platform::PlatformError error(std::string text) {
  return platform::PlatformError{std::move(text)};
}

}  // namespace

Expected<Image, platform::PlatformError> RegionFrameCapture::capture(std::uint32_t output,
                                                                     const Rect& region) {
  if (!connection_.ok()) return unexpected(error("The compositor is not reachable."));
  if (!connection_.screencopy() || !connection_.shm())
    return unexpected(error("The compositor offers no screen pictures."));
  const WaylandOutput* o = connection_.findOutput(output);
  if (!o) return unexpected(error("The display is not available."));
  const Rect area = region.standardized().integral();
  const Rect whole{0, 0, o->logical.width, o->logical.height};
  if (area.isEmpty() || !whole.contains(area))
    return unexpected(error("The region is not inside the display."));

  frame_.shm = connection_.shm();
  frame_.start(zwlr_screencopy_manager_v1_capture_output_region(
      connection_.screencopy(), /*overlay_cursor=*/0, o->output.get(), int(area.x), int(area.y),
      int(area.width), int(area.height)));
  if (!connection_.dispatchUntil([this] { return frame_.finished(); }))
    return unexpected(error(connection_.ok() ? "The compositor did not answer."
                                             : "The compositor is not reachable."));
  if (frame_.failed || !frame_.buffer) return unexpected(error("The screen could not be read."));
  return frame_.picture();
}

}  // namespace orvel::wayland
