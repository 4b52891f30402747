#include "platform/gnome/remote_desktop_session.h"

#include <cmath>

#include "platform/gnome/screen_cast_session.h"

namespace orvel::gnome {

namespace {

constexpr const char* kService = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kSessionInterface = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr const char* kCannotAsk = "Cannot ask GNOME Shell for remote input.";
// NotifyPointerAxis's flags. A touchpad's (a finger's) values reach a GTK 4 view as surface
// pixels; a wheel's smooth values count as clicks there.
constexpr std::uint32_t kFingerSource = 1u << 2;
constexpr std::uint32_t kVerticalAxis = 0;

}  // namespace

std::optional<StreamPlace> streamPlace(const std::vector<GnomeMonitor>& monitors, Point layout) {
  if (!std::isfinite(layout.x) || !std::isfinite(layout.y)) return std::nullopt;
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    const GnomeMonitor& m = monitors[i];
    if (layout.x < m.x || layout.y < m.y || layout.x >= m.x + m.layoutWidth ||
        layout.y >= m.y + m.layoutHeight || m.layoutWidth <= 0 || m.layoutHeight <= 0)
      continue;
    // The stream's pixels are the mode's; the layout's units are the mode's over the scale in
    // the logical layout mode, the mode's own in the physical one.
    return StreamPlace{i, (layout.x - m.x) * m.widthPx / m.layoutWidth,
                       (layout.y - m.y) * m.heightPx / m.layoutHeight};
  }
  return std::nullopt;
}

Point layoutPoint(const std::vector<GnomeMonitor>& monitors, Point global) {
  if (monitors.empty()) return global;
  const GnomeMonitor* main = &monitors.front();
  for (const GnomeMonitor& m : monitors) {
    if (m.x == 0 && m.y == 0) main = &m;
  }
  return {global.x + main->x, global.y + main->y};
}

Task<Expected<std::unique_ptr<RemoteDesktopSession>, Failure>> RemoteDesktopSession::create(
    dbus::DbusConnection& bus, std::vector<GnomeMonitor> monitors, Duration deadline) {
  const auto giveUp = bus.loop().now() + deadline;
  auto left = [&] { return std::max(Duration::zero(), giveUp - bus.loop().now()); };
  auto request =
      bus.newCall({kService, "/org/gnome/Mutter/RemoteDesktop", kService}, "CreateSession");
  auto created = co_await bus.call(std::move(request), left());
  if (!created) co_return failed(created.error().description);
  const char* path = nullptr;
  if (sd_bus_message_read(created->get(), "o", &path) < 0)
    co_return failed("GNOME Shell's remote input answered with no session.");
  std::unique_ptr<RemoteDesktopSession> session(
      new RemoteDesktopSession(bus, path, std::move(monitors)));

  auto get = bus.newCall({kService, session->path_, "org.freedesktop.DBus.Properties"}, "Get");
  if (sd_bus_message_append(get.get(), "ss", kSessionInterface, "SessionId") < 0)
    co_return failed(kCannotAsk);
  auto id = co_await bus.call(std::move(get), left());
  if (!id) co_return failed(id.error().description);
  const char* sessionId = nullptr;
  if (sd_bus_message_read(id->get(), "v", "s", &sessionId) < 0)
    co_return failed("GNOME Shell's remote input answered with no session id.");

  auto linking = ScreenCastSession::create(bus, left(), sessionId);
  auto cast = co_await linking;
  if (!cast) co_return failed(cast.error().description);
  session->cast_ = std::move(*cast);
  for (const GnomeMonitor& m : session->monitors_) {
    auto adding = session->cast_->addMonitorStream(m.connector, left());
    auto stream = co_await adding;
    if (!stream) co_return failed(stream.error().description);
    session->streams_.push_back(std::move(*stream));
  }

  dbus::DbusSignalMatch closing{kService, session->path_, kSessionInterface, "Closed"};
  dbus::DbusConnection::SignalHandler onClosed = [closed = session->closed_](const auto&) {
    *closed = true;
  };
  auto subscribed = co_await bus.subscribeConfirmed(closing, onClosed, left());
  if (!subscribed) co_return failed(subscribed.error().description);
  session->closing_ = std::move(*subscribed);

  auto start = bus.newCall({kService, session->path_, kSessionInterface}, "Start");
  auto started = co_await bus.call(std::move(start), left());
  if (!started) co_return failed(started.error().description);
  co_return session;
}

RemoteDesktopSession::~RemoteDesktopSession() {
  if (bus_.lost() || *closed_) return;
  auto stop = bus_.newCall({kService, path_, kSessionInterface}, "Stop");
  if (!stop) return;
  // Nobody waits for the answer: the session ends with or without it, its screen cast with it.
  sd_bus_message_set_expect_reply(stop.get(), 0);
  sd_bus_send(bus_.raw(), stop.get(), nullptr);
  bus_.pump();
}

template <class... Args>
Task<Expected<void, Failure>> RemoteDesktopSession::notify(std::string member, Duration deadline,
                                                           const char* types, Args... args) {
  auto request = bus_.newCall({kService, path_, kSessionInterface}, member);
  if (sd_bus_message_append(request.get(), types, args...) < 0) co_return failed(kCannotAsk);
  auto reply = co_await bus_.call(std::move(request), deadline);
  if (!reply) co_return failed(reply.error().description);
  co_return Expected<void, Failure>{};
}

Task<Expected<void, Failure>> RemoteDesktopSession::movePointer(Point layout, Duration deadline) {
  const auto place = streamPlace(monitors_, layout);
  if (!place) co_return failed("No monitor shows the place to point at.");
  auto moving = notify("NotifyPointerMotionAbsolute", deadline, "sdd",
                       streams_[place->monitor].c_str(), place->x, place->y);
  co_return co_await moving;
}

Task<Expected<void, Failure>> RemoteDesktopSession::turnWheel(std::int32_t steps,
                                                              Duration deadline) {
  return notify("NotifyPointerAxisDiscrete", deadline, "ui", kVerticalAxis, steps);
}

Task<Expected<void, Failure>> RemoteDesktopSession::scrollBy(double dy, Duration deadline) {
  return notify("NotifyPointerAxis", deadline, "ddu", 0.0, dy, kFingerSource);
}

Task<Expected<void, Failure>> RemoteDesktopSession::button(std::int32_t code, bool pressed,
                                                           Duration deadline) {
  return notify("NotifyPointerButton", deadline, "ib", code, static_cast<int>(pressed));
}

Task<Expected<void, Failure>> RemoteDesktopSession::key(std::uint32_t keysym, bool pressed,
                                                        Duration deadline) {
  return notify("NotifyKeyboardKeysym", deadline, "ub", keysym, static_cast<int>(pressed));
}

}  // namespace orvel::gnome
