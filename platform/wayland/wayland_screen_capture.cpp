#include "platform/wayland/wayland_screen_capture.h"

#include <unistd.h>

#include <cmath>

#include "platform/wayland/picture_scaling.h"
#include "platform/wayland/pixel_rows.h"
#include "platform/wayland/shm_buffer.h"

namespace orvel::wayland {

namespace {

platform::PlatformError error(std::string text) {
  return platform::PlatformError{std::move(text)};
}

constexpr const char* kNotReachable = "The compositor is not reachable.";

// One output's picture on its way.
struct FrameCopy {
  wl_shm* shm = nullptr;
  WlPtr<zwlr_screencopy_frame_v1> frame;
  std::unique_ptr<ShmBuffer> buffer;
  bool yInvert = false;
  bool ready = false;
  bool failed = false;
  bool finished() const { return ready || failed; }
};

FrameCopy& copyOf(void* data) {
  return *static_cast<FrameCopy*>(data);
}

const zwlr_screencopy_frame_v1_listener kFrameListener = {
    [](void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t format, std::uint32_t width,
       std::uint32_t height, std::uint32_t stride) {
      auto& c = copyOf(data);
      if (c.buffer) return;
      if (isSupportedShmFormat(format)) {
        c.buffer = ShmBuffer::create(c.shm, static_cast<int>(width), static_cast<int>(height),
                                     static_cast<int>(stride), format);
      }
      if (!c.buffer) {
        c.failed = true;
        return;
      }
      zwlr_screencopy_frame_v1_copy(frame, c.buffer->buffer());
    },
    [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t flags) {
      copyOf(data).yInvert = flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
    },
    [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {
      copyOf(data).ready = true;
    },
    [](void* data, zwlr_screencopy_frame_v1*) { copyOf(data).failed = true; },
    [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t,
       std::uint32_t) {},
    [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {},
    [](void*, zwlr_screencopy_frame_v1*) {},
};

}  // namespace

WaylandScreenCapture::WaylandScreenCapture(const char* display)
    : connection_(WaylandConnection::open(display)) {}

WaylandScreenCapture::~WaylandScreenCapture() {
  std::lock_guard lock(mutex_);
  connection_.reset();
}

bool WaylandScreenCapture::available() {
  std::lock_guard lock(mutex_);
  return connection_ && connection_->ok() && connection_->screencopy() && connection_->shm();
}

Expected<platform::ShareableContent, platform::PlatformError>
WaylandScreenCapture::shareableContent(bool, bool) {
  std::lock_guard lock(mutex_);
  if (!connection_ || !connection_->roundtrip()) return unexpected(error(kNotReachable));
  const OutputLayout layout = connection_->layout();
  platform::ShareableContent content;
  for (const auto& o : layout.outputs())
    content.displays.push_back({o.id, layout.toGlobal(o.logical)});
  // The compositor composes every client into the pictures: the applications listed are the ones
  // whose windows the pictures are meant to leave out, this helper's (never mapped when pictures
  // are taken) and its host's (which stays in them).
  content.applications.push_back({static_cast<std::int32_t>(::getpid()), std::nullopt});
  content.applications.push_back({static_cast<std::int32_t>(::getppid()), std::nullopt});
  return content;
}

Expected<WaylandScreenCapture::Pictures, platform::PlatformError>
WaylandScreenCapture::captureAll() {
  std::vector<std::pair<std::uint32_t, std::unique_ptr<FrameCopy>>> copies;
  for (const auto& o : connection_->outputs()) {
    auto copy = std::make_unique<FrameCopy>();
    copy->shm = connection_->shm();
    copy->frame.reset(zwlr_screencopy_manager_v1_capture_output(connection_->screencopy(),
                                                                /*overlay_cursor=*/0,
                                                                o->output.get()));
    zwlr_screencopy_frame_v1_add_listener(copy->frame.get(), &kFrameListener, copy.get());
    copies.emplace_back(o->globalName, std::move(copy));
  }
  const bool answered = connection_->dispatchUntil([&copies] {
    for (const auto& [id, c] : copies) {
      if (!c->finished()) return false;
    }
    return true;
  });
  if (!answered) {
    return unexpected(error(connection_->ok() ? "The compositor did not answer." : kNotReachable));
  }
  Pictures out;
  for (auto& [id, c] : copies) {
    if (c->failed || !c->buffer) return unexpected(error("The screen could not be read."));
    const ShmBuffer& b = *c->buffer;
    Image image = Image::uninitialized(b.width(), b.height());
    convertShmPicture(b.data(), b.width(), b.height(), static_cast<std::size_t>(b.stride()),
                      b.format(), c->yInvert, image);
    out.emplace(id, std::move(image));
  }
  return out;
}

Expected<Image, platform::PlatformError> WaylandScreenCapture::captureImage(
    const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) {
  std::lock_guard lock(mutex_);
  if (!connection_ || !connection_->ok()) return unexpected(error(kNotReachable));
  if (!connection_->screencopy() || !connection_->shm())
    return unexpected(error("The compositor offers no screen pictures."));
  if (config.width <= 0 || config.height <= 0) return unexpected(error("Invalid capture size."));
  const auto now = std::chrono::steady_clock::now();
  if (!batch_.count(filter.displayID) || now - batchTaken_ > kBatchLifetime) {
    batch_.clear();
    if (!connection_->roundtrip()) return unexpected(error(kNotReachable));
    if (!connection_->findOutput(filter.displayID))
      return unexpected(error("The display is not available."));
    auto pictures = captureAll();
    if (!pictures) return unexpected(std::move(pictures).error());
    batch_ = std::move(pictures).value();
    batchTaken_ = now;
  }
  auto found = batch_.find(filter.displayID);
  if (found == batch_.end()) return unexpected(error("The display is not available."));
  Image picture = std::move(found->second);
  batch_.erase(found);
  const WaylandOutput* output = connection_->findOutput(filter.displayID);
  if (!config.sourceRect && picture.width() == config.width && picture.height() == config.height)
    return picture;
  const double scale =
      output && output->logical.width > 0 ? picture.width() / output->logical.width : 1;
  const Rect all{0, 0, double(picture.width()), double(picture.height())};
  const Rect source =
      config.sourceRect ? Rect{config.sourceRect->x * scale, config.sourceRect->y * scale,
                               config.sourceRect->width * scale, config.sourceRect->height * scale}
                        : all;
  return scaledPart(picture, source.standardized(), config.width, config.height);
}

}  // namespace orvel::wayland
