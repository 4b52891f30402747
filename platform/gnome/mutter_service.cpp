#include "platform/gnome/mutter_service.h"

#include <algorithm>

namespace orvel::gnome {

std::optional<std::string> whyMutterServiceSilent(dbus::PrivateSessionBus& session,
                                                  const std::string& name, Duration deadline) {
  if (!session.bus()) return "no session bus (" + session.failure() + ")";
  std::string path = "/" + name;
  std::replace(path.begin(), path.end(), '.', '/');
  auto ask = [](dbus::DbusConnection& bus, std::string name, std::string path,
                Duration deadline) -> Task<Expected<dbus::DbusMessage, Failure>> {
    auto request = bus.newCall({name, path, "org.freedesktop.DBus.Properties"}, "Get");
    if (sd_bus_message_append(request.get(), "ss", name.c_str(), "Version") < 0)
      co_return failed("Cannot ask " + name + ".");
    co_return co_await bus.call(std::move(request), deadline);
  };
  auto reply = session.run(ask(*session.bus(), name, path, deadline));
  if (!reply) return name + " does not answer (" + reply.error().description + ")";
  return std::nullopt;
}

std::optional<std::string> whyScreenCastUnavailable(wayland::WaylandConnection* connection,
                                                    dbus::PrivateSessionBus& session) {
  using namespace std::chrono_literals;
  if (!connection || !connection->ok()) return "no Wayland compositor answers";
  if (auto why = whyMutterServiceSilent(session, "org.gnome.Mutter.ScreenCast", 2s))
    return "mutter's ScreenCast service does not answer (" + *why + ")";
  return std::nullopt;
}

}  // namespace orvel::gnome
