#include "platform/gnome/monitor_pictures.h"

#include <algorithm>
#include <memory>

#include "platform/gnome/pipewire_frame_stream.h"
#include "platform/gnome/screen_cast_session.h"

namespace orvel::gnome {

Task<Expected<std::vector<MonitorPicture>, Failure>> takeMonitorPictures(
    dbus::DbusConnection& bus, PipeWireConnection& pipewire, Duration deadline) {
  EventLoop& loop = bus.loop();
  const auto giveUp = loop.now() + deadline;
  auto left = [&] { return std::max(Duration::zero(), giveUp - loop.now()); };

  auto monitors = co_await currentMonitors(bus, left());
  if (!monitors) co_return failed(monitors.error().description);
  if (monitors->empty()) co_return failed("GNOME Shell shows no monitor.");
  auto session = co_await ScreenCastSession::create(bus, left());
  if (!session) co_return failed(session.error().description);
  std::vector<std::string> connectors;
  for (const GnomeMonitor& m : *monitors)
    connectors.push_back(m.connector);
  auto nodes = co_await (*session)->recordMonitors(connectors, left());
  if (!nodes) co_return failed(nodes.error().description);

  // Every stream at once: each sends its first frame as soon as it starts.
  std::vector<std::unique_ptr<PipeWireFrameStream>> streams;
  for (std::uint32_t node : *nodes) {
    auto stream = PipeWireFrameStream::connect(pipewire, node);
    if (!stream) co_return failed(stream.error().description);
    streams.push_back(std::move(*stream));
  }
  std::vector<MonitorPicture> pictures;
  for (std::size_t i = 0; i < streams.size(); ++i) {
    auto frame = co_await streams[i]->nextFrame(left());
    if (!frame) co_return failed(frame.error().description);
    const GnomeMonitor& monitor = (*monitors)[i];
    if (frame->width() != monitor.widthPx || frame->height() != monitor.heightPx) {
      co_return failed("Display configuration changed. Retry Capture.");
    }
    pictures.push_back({monitor, std::move(*frame)});
  }
  co_return pictures;
}

}  // namespace orvel::gnome
