#include "platform/gnome/blocking_bus.h"

#include <algorithm>

namespace orvel::gnome {

BlockingBus::BlockingBus() {
  auto bus = dbus::DbusConnection::openSession(loop_);
  if (!bus) {
    failure_ = bus.error().description;
    return;
  }
  bus_ = std::move(bus).value();
}

BlockingBus::~BlockingBus() {
  // Whatever the connection still sends (a session's Stop) leaves before it closes.
  if (bus_) bus_->pump();
  bus_.reset();
}

std::optional<std::string> BlockingBus::whyServiceSilent(const std::string& name,
                                                         Duration deadline) {
  if (auto why = whyNot()) return why;
  std::string path = "/" + name;
  std::replace(path.begin(), path.end(), '.', '/');
  auto ask = [](dbus::DbusConnection& bus, std::string name, std::string path,
                Duration deadline) -> Task<Expected<dbus::DbusMessage, Failure>> {
    auto request = bus.newCall({name, path, "org.freedesktop.DBus.Properties"}, "Get");
    if (sd_bus_message_append(request.get(), "ss", name.c_str(), "Version") < 0)
      co_return failed("Cannot ask " + name + ".");
    co_return co_await bus.call(std::move(request), deadline);
  };
  auto reply = run(ask(*bus_, name, path, deadline));
  if (!reply) return reply.error().description;
  return std::nullopt;
}

void BlockingBus::runFor(Duration span) {
  bool done = false;
  const auto timer = loop_.addTimer(span, [&] { done = true; });
  loop_.runUntil([&] { return done; });
  loop_.cancelTimer(timer);
}

}  // namespace orvel::gnome
