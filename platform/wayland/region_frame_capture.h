// Frames of one region of one output through zwlr_screencopy_manager_v1.capture_output_region:
// the region in points relative to the output's top-left corner, the frame in the output's own
// pixels, premultiplied BGRA rows top to bottom, without the cursor. The wl_shm buffer of one
// frame (and its pool) serves the next while the compositor asks for the same size and format.
// Not thread-safe: one thread at a time, on a connection no other thread uses.
#pragma once

#include <cstdint>

#include "orvel/common/expected.h"
#include "orvel/common/geometry.h"
#include "orvel/common/image.h"
#include "platform/platform_error.h"
#include "platform/wayland/screencopy_frame.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::wayland {

class RegionFrameCapture {
 public:
  explicit RegionFrameCapture(WaylandConnection& connection) : connection_(connection) {}

  // The region is rounded outwards to whole points and must lie inside the output.
  Expected<Image, platform::PlatformError> capture(std::uint32_t output, const Rect& region);

  // Buffers made so far: for tests and benchmarks.
  std::uint64_t buffersMade() const { return frame_.buffersMade; }

 private:
  WaylandConnection& connection_;
  ScreencopyFrame frame_;
};

}  // namespace orvel::wayland
