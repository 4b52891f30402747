#include "platform/gnome/gnome_frame_capture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/gnome/monitor_pictures.h"
#include "platform/gnome/pipewire_connection.h"
#include "platform/gnome/pipewire_frame_stream.h"
#include "platform/gnome/screen_cast_session.h"
#include "platform/wayland/output_layout.h"
#include "platform/wayland/region_frame_fit.h"
#include "platform/wayland/wayland_screen_capture.h"

namespace orvel::gnome {

namespace {

using namespace std::chrono_literals;

// A new recording: the session, its stream's node and its first frame, which mutter sends as the
// stream starts. Generous for a loaded machine, still bounded.
constexpr auto kOpenDeadline = 5s;
// How long a new recording's first frame may take before the screen counts as still.
constexpr auto kFirstFrameWait = 500ms;

// The pixels of the area (x, y, width, height in mutter's layout) in a monitor's picture; nothing
// when the monitor does not hold all of it.
std::optional<Image> areaOf(const MonitorPicture& p, int x, int y, int width, int height) {
  const GnomeMonitor& m = p.monitor;
  if (m.layoutWidth <= 0 || m.layoutHeight <= 0) return std::nullopt;
  const double sx = m.widthPx / m.layoutWidth, sy = m.heightPx / m.layoutHeight;
  const long left = std::lround((x - m.x) * sx), top = std::lround((y - m.y) * sy);
  const long w = std::lround(width * sx), h = std::lround(height * sy);
  if (left < 0 || top < 0 || w <= 0 || h <= 0 || left + w > p.picture.width() ||
      top + h > p.picture.height())
    return std::nullopt;
  Image out = Image::uninitialized(static_cast<int>(w), static_cast<int>(h));
  for (int row = 0; row < out.height(); ++row)
    std::memcpy(out.row(row), p.picture.row(static_cast<int>(top) + row) + left * 4,
                static_cast<std::size_t>(w) * 4);
  return out;
}

}  // namespace

struct GnomeFrameCapture::Recording {
  int x = 0, y = 0, width = 0, height = 0;
  std::unique_ptr<ScreenCastSession> session;
  std::unique_ptr<PipeWireFrameStream> stream;  // goes before its session
  Image newest;

  bool records(int ax, int ay, int aw, int ah) const {
    return x == ax && y == ay && width == aw && height == ah;
  }
  // Whether mutter ended it: no frame will come any more.
  bool over() const { return session->closed() || stream->broken(); }

  static Task<Expected<std::unique_ptr<Recording>, Failure>> open(dbus::DbusConnection& bus,
                                                                  PipeWireConnection& pipewire,
                                                                  int x, int y, int width,
                                                                  int height) {
    const auto giveUp = bus.loop().now() + kOpenDeadline;
    auto left = [&] { return std::max(Duration::zero(), giveUp - bus.loop().now()); };
    auto r = std::make_unique<Recording>();
    r->x = x, r->y = y, r->width = width, r->height = height;
    auto creating = ScreenCastSession::create(bus, left());
    auto session = co_await creating;
    if (!session) co_return failed(session.error().description);
    r->session = std::move(*session);
    auto recording = r->session->recordArea(x, y, width, height, left());
    auto node = co_await recording;
    if (!node) co_return failed(node.error().description);
    auto stream = PipeWireFrameStream::connect(pipewire, *node);
    if (!stream) co_return failed(stream.error().description);
    r->stream = std::move(*stream);
    auto firstFrame = r->stream->nextFrame(std::min<Duration>(kFirstFrameWait, left()));
    auto first = co_await firstFrame;
    if (first) {
      r->newest = std::move(*first);
      co_return r;
    }
    // mutter records an area at its next repaint only: on a still screen none comes, and the
    // monitor's picture (whose stream starts with one) stands in for it.
    auto taking = takeMonitorPictures(bus, pipewire, left());
    auto pictures = co_await taking;
    if (!pictures) co_return failed(pictures.error().description);
    for (const MonitorPicture& p : *pictures) {
      if (auto part = areaOf(p, x, y, width, height)) {
        r->newest = std::move(*part);
        co_return r;
      }
    }
    co_return failed("The display is not available.");
  }
};

GnomeFrameCapture::GnomeFrameCapture(const char* display) : ScreenCastPort(display) {}

GnomeFrameCapture::~GnomeFrameCapture() {
  std::lock_guard lock(mutex_);
  endRecording();
  closeAll();
}

void GnomeFrameCapture::runSerially(const std::function<void()>& job) {
  std::lock_guard lock(mutex_);
  job();
}

std::unique_ptr<platform::ExclusionHold> GnomeFrameCapture::holdExclusions() {
  release();
  return std::make_unique<platform::ExclusionHold>();
}

void GnomeFrameCapture::release() {
  std::lock_guard lock(mutex_);
  endRecording();
}

bool GnomeFrameCapture::recording() {
  std::lock_guard lock(mutex_);
  return recording_ != nullptr;
}

void GnomeFrameCapture::endRecording() {
  // The session sends Stop as it goes; the stream goes before its PipeWire connection.
  recording_.reset();
  closePipeWire();
}

Expected<Image, platform::PlatformError> GnomeFrameCapture::frameOf(int x, int y, int width,
                                                                    int height) {
  // A recording that mutter ended (the display changed) is opened again once.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (recording_ && (!recording_->records(x, y, width, height) || recording_->over()))
      endRecording();
    if (!recording_) {
      auto wire = pipewire();
      if (!wire) return failed(wire.error().description);
      auto opened = session().run(Recording::open(*session().bus(), **wire, x, y, width, height));
      if (!opened) {
        endRecording();
        return failed(opened.error().description);
      }
      recording_ = std::move(*opened);
      return recording_->newest;
    }
    // What came before the request is older than it: it stands only when nothing newer comes.
    (*pipewire())->pump();
    if (auto queued = recording_->stream->takeUnread()) recording_->newest = std::move(*queued);
    auto fresh = session().run(recording_->stream->nextFrame(kFreshFrameWait));
    if (fresh) {
      recording_->newest = std::move(*fresh);
      return recording_->newest;
    }
    if (!recording_->over()) return recording_->newest;
  }
  endRecording();
  return failed("The screen-cast stream ended.");
}

Expected<Image, platform::PlatformError> GnomeFrameCapture::takePicture(
    const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) {
  wayland::WaylandConnection& compositor = *connection();
  compositor.dispatchAvailable();
  const wayland::WaylandOutput* output = compositor.findOutput(filter.displayID);
  if (!output) {
    // An output added a moment ago shows after the compositor's answer.
    if (!compositor.roundtrip()) return failed(wayland::kCompositorNotReachable);
    output = compositor.findOutput(filter.displayID);
  }
  if (!output) return failed("The display is not available.");
  const wayland::OutputGeometry geometry = output->geometry();
  const auto part =
      wayland::regionPart({geometry.logical.width, geometry.logical.height}, config.sourceRect);
  if (!part) return failed("Invalid capture area.");
  if (part->area.isEmpty()) return Image(config.width, config.height);
  const Rect area = part->area.offsetBy(geometry.logical.x, geometry.logical.y);
  auto frame = frameOf(static_cast<int>(std::lround(area.x)), static_cast<int>(std::lround(area.y)),
                       static_cast<int>(std::lround(area.width)),
                       static_cast<int>(std::lround(area.height)));
  if (!frame) return frame;
  return wayland::fittedFrame(std::move(*frame), *part, wayland::OutputLayout::scaleOf(geometry),
                              config);
}

}  // namespace orvel::gnome
