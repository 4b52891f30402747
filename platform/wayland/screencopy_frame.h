// One zwlr_screencopy_frame_v1 on its way into a wl_shm buffer. The buffer it holds when started is
// reused when the compositor asks for that size, stride and format, else replaced; it stays with
// the frame afterwards, for the next one. Dispatches on the queue of `shm`'s connection.
#pragma once

#include <cstdint>
#include <memory>

#include "orvel/common/image.h"
#include "platform/wayland/shm_buffer.h"
#include "platform/wayland/wl_handles.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace orvel::wayland {

struct ScreencopyFrame {
  wl_shm* shm = nullptr;
  std::unique_ptr<ShmBuffer> buffer;
  std::uint64_t buffersMade = 0;
  bool yInvert = false;
  bool ready = false;
  bool failed = false;

  // Takes `frame` (fresh from a capture request) and handles its events.
  void start(zwlr_screencopy_frame_v1* frame);
  bool finished() const { return ready || failed; }
  // The copied picture as premultiplied BGRA rows top to bottom, upright for an output of
  // `transform` (a wl_output_transform); only once ready.
  Image picture(std::int32_t transform = WL_OUTPUT_TRANSFORM_NORMAL) const;

 private:
  WlPtr<zwlr_screencopy_frame_v1> frame_;
  bool copying_ = false;
};

}  // namespace orvel::wayland
