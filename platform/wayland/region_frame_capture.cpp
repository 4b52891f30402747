#include "platform/wayland/region_frame_capture.h"

namespace orvel::wayland {

Expected<Image, platform::PlatformError> RegionFrameCapture::capture(std::uint32_t output,
                                                                     const Rect& region) {
  if (!connection_.ok()) return failed(kCompositorNotReachable);
  if (!connection_.screencopy() || !connection_.shm())
    return failed("The compositor offers no screen pictures.");
  const WaylandOutput* o = connection_.findOutput(output);
  if (!o) return failed("The display is not available.");
  const Rect area = region.standardized().integral();
  const Rect whole{0, 0, o->logical.width, o->logical.height};
  if (area.isEmpty() || !whole.contains(area))
    return failed("The region is not inside the display.");

  frame_.shm = connection_.shm();
  frame_.start(zwlr_screencopy_manager_v1_capture_output_region(
      connection_.screencopy(), /*overlay_cursor=*/0, o->output.get(), int(area.x), int(area.y),
      int(area.width), int(area.height)));
  if (!connection_.dispatchUntil([this] { return frame_.finished(); }))
    return failed(connection_.ok() ? "The compositor did not answer." : kCompositorNotReachable);
  if (frame_.failed || !frame_.buffer) return failed("The screen could not be read.");
  return frame_.picture();
}

}  // namespace orvel::wayland
