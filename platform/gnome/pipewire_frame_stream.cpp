#include "platform/gnome/pipewire_frame_stream.h"

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "orvel/common/one_shot.h"
#include "platform/gnome/frame_pixels.h"

namespace orvel::gnome {

namespace {

// A frame's rows as they came, packed, until the loop thread turns them into a picture.
struct RawFrame {
  std::vector<std::uint8_t> bytes;
  int width = 0, height = 0;
  FrameOrder order = FrameOrder::kBgr;
};

}  // namespace

// What PipeWire's data thread hands to the loop thread. Buffers go back to the service within the
// data thread's own cycle: mutter has a fixed set of them and records only into a free one, and
// a cycle it cannot start returns none, so buffers held until the helper next runs its loop would
// leave it unable to send any frame again.
struct Mailbox {
  std::mutex mutex;  // guards everything below
  std::optional<spa_video_info_raw> format;
  std::optional<RawFrame> newest;
  bool announced = false;  // a post to the loop thread is on its way
};

struct PipeWireFrameStream::Impl {
  PipeWireConnection& pipewire;
  pw_stream* stream = nullptr;
  spa_hook listener{};
  std::shared_ptr<Mailbox> mailbox = std::make_shared<Mailbox>();
  // Loop thread only, from here on.
  std::optional<OneShot<Expected<Image, Failure>>> waiting;
  std::optional<Image> unread;
  bool broken = false;
  // Cleared as the stream goes, for posts still on their way.
  std::shared_ptr<Impl*> self = std::make_shared<Impl*>(this);

  explicit Impl(PipeWireConnection& p) : pipewire(p) {}

  void deliver(Expected<Image, Failure> result) {
    if (!waiting) {
      if (result) unread = std::move(*result);
      return;
    }
    waiting->resolve(std::move(result));
    waiting.reset();
  }

  // The frame the data thread left, as a picture.
  std::optional<Image> takeMailbox() {
    std::optional<RawFrame> raw;
    {
      std::lock_guard lock(mailbox->mutex);
      raw = std::move(mailbox->newest);
      mailbox->newest.reset();
    }
    if (!raw) return std::nullopt;
    return opaqueBgra(raw->bytes.data(), static_cast<std::size_t>(raw->width) * 4, raw->width,
                      raw->height, raw->order);
  }

  static void onStateChanged(void* data, pw_stream_state old, pw_stream_state state,
                             const char* error) {
    auto* self = static_cast<Impl*>(data);
    // A stream that was connected and is no longer: the service removed its node.
    if (state == PW_STREAM_STATE_UNCONNECTED && old != PW_STREAM_STATE_UNCONNECTED)
      self->broken = true;
    if (state == PW_STREAM_STATE_ERROR) {
      self->broken = true;
      self->deliver(failed(std::string("The screen-cast stream failed: ") +
                           (error ? error : "unknown error") + "."));
    }
  }

  static void onParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
    auto* self = static_cast<Impl*>(data);
    if (!param || id != SPA_PARAM_Format) return;
    std::uint32_t mediaType = 0, mediaSubtype = 0;
    if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 ||
        mediaType != SPA_MEDIA_TYPE_video || mediaSubtype != SPA_MEDIA_SUBTYPE_raw) {
      return;
    }
    spa_video_info_raw info{};
    if (spa_format_video_raw_parse(param, &info) < 0) return;
    {
      std::lock_guard lock(self->mailbox->mutex);
      self->mailbox->format = info;
    }
    // Shared memory only: a machine without a GPU has nothing else, and the pictures are read
    // by the processor anyway.
    std::uint8_t buffer[512];
    spa_pod_builder b{};
    spa_pod_builder_init(&b, buffer, sizeof buffer);
    const spa_pod* params[1];
    params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
        SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
    pw_stream_update_params(self->stream, params, 1);
  }

  // Data thread: the newest whole frame is copied into the mailbox, every buffer goes straight
  // back, and the loop thread hears of it once until it has looked.
  static void onProcess(void* data) {
    auto* self = static_cast<Impl*>(data);
    std::vector<pw_buffer*> taken;
    while (pw_buffer* b = pw_stream_dequeue_buffer(self->stream))
      taken.push_back(b);
    bool copied = false, announce = false;
    {
      std::lock_guard lock(self->mailbox->mutex);
      for (auto b = taken.rbegin(); b != taken.rend() && !copied; ++b)
        copied = self->copy((*b)->buffer);
      announce = copied && !self->mailbox->announced;
      if (announce) self->mailbox->announced = true;
    }
    for (pw_buffer* b : taken)
      pw_stream_queue_buffer(self->stream, b);
    if (!announce) return;
    self->pipewire.loop().post([mailbox = self->mailbox, owner = std::weak_ptr<Impl*>(self->self)] {
      {
        std::lock_guard lock(mailbox->mutex);
        mailbox->announced = false;
      }
      const auto impl = owner.lock();
      if (!impl || !*impl) return;
      if (auto frame = (*impl)->takeMailbox()) (*impl)->deliver(std::move(*frame));
    });
  }

  // Copies the buffer's frame into the mailbox, whose lock is held; false when it holds no whole
  // frame.
  bool copy(spa_buffer* buffer) {
    const auto& format = mailbox->format;
    const spa_data& d = buffer->datas[0];
    const auto* header = static_cast<const spa_meta_header*>(
        spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)));
    const bool corrupted = header && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED);
    if (!format || !d.data || !d.chunk || d.chunk->size == 0 || corrupted) return false;
    const int width = static_cast<int>(format->size.width);
    const int height = static_cast<int>(format->size.height);
    if (width <= 0 || height <= 0) return false;
    const std::size_t row = static_cast<std::size_t>(width) * 4;
    const std::size_t stride =
        d.chunk->stride > 0 ? static_cast<std::size_t>(d.chunk->stride) : row;
    if (stride < row ||
        static_cast<std::size_t>(d.chunk->offset) + stride * (height - 1) + row > d.maxsize)
      return false;
    // The last frame's storage is reused while the loop thread has not taken it.
    RawFrame& frame = mailbox->newest ? *mailbox->newest : mailbox->newest.emplace();
    frame.width = width;
    frame.height = height;
    frame.order = format->format == SPA_VIDEO_FORMAT_RGBx || format->format == SPA_VIDEO_FORMAT_RGBA
                      ? FrameOrder::kRgb
                      : FrameOrder::kBgr;
    frame.bytes.resize(row * static_cast<std::size_t>(height));
    const auto* rows = static_cast<const std::uint8_t*>(d.data) + d.chunk->offset;
    for (int y = 0; y < height; ++y)
      std::memcpy(frame.bytes.data() + row * y, rows + stride * y, row);
    return true;
  }

  static constexpr pw_stream_events kEvents = [] {
    pw_stream_events e{};
    e.version = PW_VERSION_STREAM_EVENTS;
    e.state_changed = &Impl::onStateChanged;
    e.param_changed = &Impl::onParamChanged;
    e.process = &Impl::onProcess;
    return e;
  }();
};

Expected<std::unique_ptr<PipeWireFrameStream>, Failure> PipeWireFrameStream::connect(
    PipeWireConnection& pipewire, std::uint32_t node) {
  auto impl = std::make_unique<Impl>(pipewire);
  impl->stream = pw_stream_new(pipewire.core(), "orvel-screen-cast",
                               pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                                 "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
  if (!impl->stream) return failed("Cannot open a PipeWire stream.");
  pw_stream_add_listener(impl->stream, &impl->listener, &Impl::kEvents, impl.get());

  std::uint8_t buffer[1024];
  spa_pod_builder b{};
  spa_pod_builder_init(&b, buffer, sizeof buffer);
  spa_rectangle size{1280, 800}, minSize{1, 1}, maxSize{16384, 16384};
  spa_fraction rate{30, 1}, minRate{0, 1}, maxRate{1000, 1};
  const spa_pod* params[1];
  params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
      SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
      SPA_FORMAT_VIDEO_format,
      SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA,
                             SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
      SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &minSize, &maxSize),
      SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&rate, &minRate, &maxRate)));
  const int r = pw_stream_connect(
      impl->stream, PW_DIRECTION_INPUT, node,
      static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                   PW_STREAM_FLAG_RT_PROCESS),
      params, 1);
  if (r < 0) {
    return failed(std::string("Cannot read the screen-cast stream: ") + std::strerror(-r) + ".");
  }
  pipewire.pump();
  return std::unique_ptr<PipeWireFrameStream>(new PipeWireFrameStream(std::move(impl)));
}

PipeWireFrameStream::PipeWireFrameStream(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

PipeWireFrameStream::~PipeWireFrameStream() {
  // Disconnecting takes the stream off the data thread, waiting for its cycle to end, so no
  // callback runs while its listener goes; posts still on their way find no stream after it.
  pw_stream_disconnect(impl_->stream);
  spa_hook_remove(&impl_->listener);
  pw_stream_destroy(impl_->stream);
  *impl_->self = nullptr;
}

Task<Expected<Image, Failure>> PipeWireFrameStream::nextFrame(Duration deadline) {
  if (auto arrived = impl_->takeMailbox()) impl_->unread = std::move(*arrived);
  if (impl_->unread) {
    Image frame = std::move(*impl_->unread);
    impl_->unread.reset();
    co_return frame;
  }
  if (impl_->broken) co_return failed("The screen-cast stream ended.");
  EventLoop& loop = impl_->pipewire.loop();
  OneShot<Expected<Image, Failure>> frame(loop);
  impl_->waiting.emplace(frame);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline).count();
  const auto timer = loop.addTimer(deadline, [frame, ms]() mutable {
    frame.resolve(failed("No screen-cast frame came within " + std::to_string(ms) + " ms."));
  });
  auto result = co_await frame.wait();
  loop.cancelTimer(timer);
  impl_->waiting.reset();
  co_return result;
}

std::optional<Image> PipeWireFrameStream::takeUnread() {
  if (auto arrived = impl_->takeMailbox()) return arrived;
  std::optional<Image> frame = std::move(impl_->unread);
  impl_->unread.reset();
  return frame;
}

bool PipeWireFrameStream::broken() const {
  return impl_->broken;
}

}  // namespace orvel::gnome
