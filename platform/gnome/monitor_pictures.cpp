#include "platform/gnome/monitor_pictures.h"

#include <algorithm>
#include <memory>

#include "platform/gnome/pipewire_frame_stream.h"
#include "platform/gnome/screen_cast_session.h"
#include "platform/gnome/sharing_notice.h"

namespace orvel::gnome {

namespace {

using namespace std::chrono_literals;

// How long the extension may take to hold the sharing notice: it answers at once unless the shell
// is busy drawing.
constexpr auto kNoticeWait = 250ms;

}  // namespace

Task<Expected<std::unique_ptr<MonitorRecording>, Failure>> MonitorRecording::open(
    dbus::DbusConnection& bus, PipeWireConnection& pipewire, Duration deadline) {
  EventLoop& loop = bus.loop();
  const auto giveUp = loop.now() + deadline;
  auto left = [&] { return std::max(Duration::zero(), giveUp - loop.now()); };
  std::unique_ptr<MonitorRecording> r(new MonitorRecording(bus, pipewire));
  auto monitors = co_await currentMonitors(bus, left());
  if (!monitors) co_return failed(monitors.error().description);
  if (monitors->empty()) co_return failed("GNOME Shell shows no monitor.");
  r->monitors_ = std::move(*monitors);
  // Before the recording starts: the first frames are taken without the sharing indicator.
  r->notice_ = co_await SharingNoticeHold::take(bus, std::min<Duration>(kNoticeWait, left()));
  auto session = co_await ScreenCastSession::create(bus, left());
  if (!session) co_return failed(session.error().description);
  r->session_ = std::move(*session);
  std::vector<std::string> connectors;
  for (const GnomeMonitor& m : r->monitors_)
    connectors.push_back(m.connector);
  auto nodes = co_await r->session_->recordMonitors(connectors, left());
  if (!nodes) co_return failed(nodes.error().description);
  // Every stream at once: each sends its first frame as soon as it starts.
  for (std::uint32_t node : *nodes) {
    auto stream = PipeWireFrameStream::connect(pipewire, node);
    if (!stream) co_return failed(stream.error().description);
    r->streams_.push_back(std::move(*stream));
  }
  co_return r;
}

MonitorRecording::MonitorRecording(dbus::DbusConnection& bus, PipeWireConnection& pipewire)
    : bus_(bus), pipewire_(pipewire) {}

MonitorRecording::~MonitorRecording() {
  streams_.clear();
}

bool MonitorRecording::over() const {
  if (session_->closed()) return true;
  return std::any_of(streams_.begin(), streams_.end(), [](const auto& s) { return s->broken(); });
}

Task<Expected<std::vector<MonitorPicture>, Failure>> MonitorRecording::pictures(Duration deadline) {
  EventLoop& loop = bus_.loop();
  const auto giveUp = loop.now() + deadline;
  // Frames that came meanwhile are read first: the newest of them stands.
  pipewire_.pump();
  std::vector<MonitorPicture> pictures;
  for (std::size_t i = 0; i < streams_.size(); ++i) {
    auto waiting = streams_[i]->nextFrame(std::max(Duration::zero(), giveUp - loop.now()));
    auto frame = co_await waiting;
    if (!frame) co_return failed(over() ? kDisplayChanged : frame.error().description);
    const GnomeMonitor& monitor = monitors_[i];
    if (frame->width() != monitor.widthPx || frame->height() != monitor.heightPx)
      co_return failed(kDisplayChanged);
    pictures.push_back({monitor, std::move(*frame)});
  }
  // The indicator may show from now on.
  notice_.reset();
  co_return pictures;
}

Task<Expected<std::vector<MonitorPicture>, Failure>> takeMonitorPictures(
    dbus::DbusConnection& bus, PipeWireConnection& pipewire, Duration deadline) {
  EventLoop& loop = bus.loop();
  const auto giveUp = loop.now() + deadline;
  auto opening = MonitorRecording::open(bus, pipewire, deadline);
  auto recording = co_await opening;
  if (!recording) co_return failed(recording.error().description);
  auto taking = (*recording)->pictures(std::max(Duration::zero(), giveUp - loop.now()));
  co_return co_await taking;
}

}  // namespace orvel::gnome
