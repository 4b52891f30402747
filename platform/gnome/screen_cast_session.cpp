#include "platform/gnome/screen_cast_session.h"

#include <map>

#include "orvel/common/one_shot.h"

namespace orvel::gnome {

namespace {

constexpr const char* kService = "org.gnome.Mutter.ScreenCast";
constexpr const char* kSessionInterface = "org.gnome.Mutter.ScreenCast.Session";
constexpr const char* kStreamInterface = "org.gnome.Mutter.ScreenCast.Stream";
constexpr const char* kCannotAsk = "Cannot ask GNOME Shell for a screen cast.";

// The stream path of a Record* reply.
Expected<std::string, Failure> streamOf(const Expected<dbus::DbusMessage, Failure>& reply) {
  if (!reply) return failed(reply.error().description);
  const char* stream = nullptr;
  if (sd_bus_message_read(reply->get(), "o", &stream) < 0) {
    return failed("GNOME Shell's screen cast answered with no stream.");
  }
  return std::string(stream);
}

}  // namespace

Task<Expected<std::unique_ptr<ScreenCastSession>, Failure>> ScreenCastSession::create(
    dbus::DbusConnection& bus, Duration deadline, std::string remoteDesktopSession) {
  const dbus::DbusTarget service{kService, "/org/gnome/Mutter/ScreenCast", kService};
  auto request = bus.newCall(service, "CreateSession");
  const int appended =
      remoteDesktopSession.empty()
          ? sd_bus_message_append(request.get(), "a{sv}", 0)
          : sd_bus_message_append(request.get(), "a{sv}", 1, "remote-desktop-session-id", "s",
                                  remoteDesktopSession.c_str());
  if (appended < 0) co_return failed(kCannotAsk);
  auto reply = co_await bus.call(std::move(request), deadline);
  if (!reply) co_return failed(reply.error().description);
  const char* path = nullptr;
  if (sd_bus_message_read(reply->get(), "o", &path) < 0) {
    co_return failed("GNOME Shell's screen cast answered with no session.");
  }
  co_return std::unique_ptr<ScreenCastSession>(
      new ScreenCastSession(bus, path, !remoteDesktopSession.empty()));
}

ScreenCastSession::~ScreenCastSession() {
  if (bus_.lost() || *closed_ || linked_) return;
  auto stop = bus_.newCall({kService, path_, kSessionInterface}, "Stop");
  if (!stop) return;
  // Nobody waits for the answer: the session ends with or without it.
  sd_bus_message_set_expect_reply(stop.get(), 0);
  sd_bus_send(bus_.raw(), stop.get(), nullptr);
  bus_.pump();
}

Task<Expected<std::string, Failure>> ScreenCastSession::addMonitorStream(std::string connector,
                                                                         Duration deadline) {
  auto request = bus_.newCall({kService, path_, kSessionInterface}, "RecordMonitor");
  if (sd_bus_message_append(request.get(), "sa{sv}", connector.c_str(), 1, "cursor-mode", "u", 0u) <
      0) {
    co_return failed(kCannotAsk);
  }
  auto reply = co_await bus_.call(std::move(request), deadline);
  co_return streamOf(reply);
}

Task<Expected<std::vector<std::uint32_t>, Failure>> ScreenCastSession::recordMonitors(
    std::vector<std::string> connectors, Duration deadline) {
  const auto giveUp = bus_.loop().now() + deadline;
  auto left = [&] { return std::max(Duration::zero(), giveUp - bus_.loop().now()); };
  std::vector<std::string> streams;
  for (const std::string& connector : connectors) {
    auto adding = addMonitorStream(connector, left());
    auto stream = co_await adding;
    if (!stream) co_return failed(stream.error().description);
    streams.push_back(std::move(*stream));
  }
  auto starting = start(std::move(streams), left());
  co_return co_await starting;
}

Task<Expected<std::uint32_t, Failure>> ScreenCastSession::recordArea(int x, int y, int width,
                                                                     int height,
                                                                     Duration deadline) {
  const auto giveUp = bus_.loop().now() + deadline;
  auto left = [&] { return std::max(Duration::zero(), giveUp - bus_.loop().now()); };
  auto request = bus_.newCall({kService, path_, kSessionInterface}, "RecordArea");
  if (sd_bus_message_append(request.get(), "iiiia{sv}", x, y, width, height, 1, "cursor-mode", "u",
                            0u) < 0) {
    co_return failed(kCannotAsk);
  }
  auto reply = co_await bus_.call(std::move(request), left());
  auto stream = streamOf(reply);
  if (!stream) co_return failed(stream.error().description);
  auto starting = start({std::move(*stream)}, left());
  auto nodes = co_await starting;
  if (!nodes) co_return failed(nodes.error().description);
  co_return nodes->front();
}

Task<Expected<std::vector<std::uint32_t>, Failure>> ScreenCastSession::start(
    std::vector<std::string> streams, Duration deadline) {
  const auto giveUp = bus_.loop().now() + deadline;
  auto left = [&] { return std::max(Duration::zero(), giveUp - bus_.loop().now()); };
  dbus::DbusSignalMatch closing{kService, path_, kSessionInterface, "Closed"};
  dbus::DbusConnection::SignalHandler onClosed = [closed = closed_](const auto&) {
    *closed = true;
  };
  auto subscribed = co_await bus_.subscribeConfirmed(closing, onClosed, left());
  if (!subscribed) co_return failed(subscribed.error().description);
  closing_ = std::move(*subscribed);

  // Each stream names its node once the session starts: listen before starting.
  std::map<std::string, std::uint32_t> nodes;
  OneShot<bool> allNamed(bus_.loop());
  std::vector<dbus::DbusSubscription> subscriptions;
  for (const std::string& stream : streams) {
    dbus::DbusSignalMatch match{kService, stream, kStreamInterface, "PipeWireStreamAdded"};
    dbus::DbusConnection::SignalHandler named = [&nodes, &allNamed, stream,
                                                 count = streams.size()](const auto& m) {
      std::uint32_t node = 0;
      if (sd_bus_message_read(m.get(), "u", &node) < 0) return;
      nodes[stream] = node;
      if (nodes.size() == count) allNamed.resolve(true);
    };
    auto subscription = co_await bus_.subscribeConfirmed(match, named, left());
    if (!subscription) co_return failed(subscription.error().description);
    subscriptions.push_back(std::move(*subscription));
  }
  auto request = bus_.newCall({kService, path_, kSessionInterface}, "Start");
  auto started = co_await bus_.call(std::move(request), left());
  if (!started) co_return failed(started.error().description);

  const auto timer =
      bus_.loop().addTimer(left(), [allNamed]() mutable { allNamed.resolve(false); });
  const bool named = co_await allNamed.wait();
  bus_.loop().cancelTimer(timer);
  if (!named) co_return failed("GNOME Shell's screen cast sent no picture stream in time.");
  std::vector<std::uint32_t> ordered;
  for (const std::string& stream : streams)
    ordered.push_back(nodes[stream]);
  co_return ordered;
}

}  // namespace orvel::gnome
