#include "platform/wayland/screencopy_frame.h"

#include "platform/wayland/output_transform.h"
#include "platform/wayland/pixel_rows.h"

namespace orvel::wayland {

namespace {

ScreencopyFrame& frameOf(void* data) {
  return *static_cast<ScreencopyFrame*>(data);
}

void offerBuffer(ScreencopyFrame& f, zwlr_screencopy_frame_v1* frame, std::uint32_t format,
                 std::uint32_t width, std::uint32_t height, std::uint32_t stride) {
  const bool fits = f.buffer && f.buffer->width() == int(width) &&
                    f.buffer->height() == int(height) && f.buffer->stride() == int(stride) &&
                    f.buffer->format() == format;
  if (!fits) {
    f.buffer.reset();
    if (isSupportedShmFormat(format)) {
      f.buffer = ShmBuffer::create(f.shm, int(width), int(height), int(stride), format);
      if (f.buffer) ++f.buffersMade;
    }
  }
  if (!f.buffer) {
    f.failed = true;
    return;
  }
  zwlr_screencopy_frame_v1_copy(frame, f.buffer->buffer());
}

}  // namespace

void ScreencopyFrame::start(zwlr_screencopy_frame_v1* frame) {
  static const zwlr_screencopy_frame_v1_listener listener = {
      [](void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t format, std::uint32_t width,
         std::uint32_t height, std::uint32_t stride) {
        auto& f = frameOf(data);
        // Only the first offer is taken: one copy per frame.
        if (f.copying_) return;
        f.copying_ = true;
        offerBuffer(f, frame, format, width, height, stride);
      },
      [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t flags) {
        frameOf(data).yInvert = flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
      },
      [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {
        frameOf(data).ready = true;
      },
      [](void* data, zwlr_screencopy_frame_v1*) { frameOf(data).failed = true; },
      [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t,
         std::uint32_t) {},
      [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {},
      [](void*, zwlr_screencopy_frame_v1*) {},
  };
  frame_.reset(frame);
  copying_ = false;
  yInvert = ready = failed = false;
  zwlr_screencopy_frame_v1_add_listener(frame, &listener, this);
}

Image ScreencopyFrame::picture(std::int32_t transform) const {
  const ShmBuffer& b = *buffer;
  Image image = Image::uninitialized(b.width(), b.height());
  convertShmPicture(b.data(), b.width(), b.height(), std::size_t(b.stride()), b.format(), yInvert,
                    image);
  return uprightPicture(std::move(image), transform);
}

}  // namespace orvel::wayland
