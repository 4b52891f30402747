#include "platform/gnome/display_config.h"

#include <map>

namespace orvel::gnome {

namespace {

constexpr const char* kUnreadable = "GNOME Shell's monitor list could not be read.";

struct LogicalPlace {
  int x = 0;
  int y = 0;
  double scale = 1;
};

// Reads a{sv} and reports whether "is-current" is true.
bool readIsCurrent(sd_bus_message* m) {
  bool current = false;
  if (sd_bus_message_enter_container(m, 'a', "{sv}") <= 0) return false;
  while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
    const char* key = nullptr;
    if (sd_bus_message_read(m, "s", &key) < 0) return false;
    int value = 0;
    if (std::string(key) == "is-current" && sd_bus_message_read(m, "v", "b", &value) >= 0) {
      current = current || value != 0;
    } else if (sd_bus_message_skip(m, "v") < 0) {
      return false;
    }
    if (sd_bus_message_exit_container(m) < 0) return false;
  }
  sd_bus_message_exit_container(m);
  return current;
}

// Reads one (ssss)a(siiddada{sv})a{sv}: the connector and its current mode, if any.
bool readMonitor(sd_bus_message* m, GnomeMonitor& out, bool& active) {
  const char *connector = nullptr, *vendor = nullptr, *product = nullptr, *serial = nullptr;
  if (sd_bus_message_read(m, "(ssss)", &connector, &vendor, &product, &serial) < 0) return false;
  out.connector = connector;
  active = false;
  if (sd_bus_message_enter_container(m, 'a', "(siiddada{sv})") <= 0) return false;
  while (sd_bus_message_enter_container(m, 'r', "siiddada{sv}") > 0) {
    const char* id = nullptr;
    int width = 0, height = 0;
    double refresh = 0, preferredScale = 0;
    if (sd_bus_message_read(m, "siidd", &id, &width, &height, &refresh, &preferredScale) < 0 ||
        sd_bus_message_skip(m, "ad") < 0) {
      return false;
    }
    if (readIsCurrent(m) && width > 0 && height > 0) {
      out.widthPx = width;
      out.heightPx = height;
      active = true;
    }
    if (sd_bus_message_exit_container(m) < 0) return false;
  }
  return sd_bus_message_exit_container(m) >= 0 && sd_bus_message_skip(m, "a{sv}") >= 0;
}

}  // namespace

Expected<std::vector<GnomeMonitor>, Failure> readMonitors(const dbus::DbusMessage& reply) {
  sd_bus_message* m = reply.get();
  if (!m) return failed(kUnreadable);
  std::uint32_t serial = 0;
  if (sd_bus_message_read(m, "u", &serial) < 0) return failed(kUnreadable);
  std::vector<GnomeMonitor> monitors;
  if (sd_bus_message_enter_container(m, 'a', "((ssss)a(siiddada{sv})a{sv})") <= 0) {
    return failed(kUnreadable);
  }
  while (sd_bus_message_enter_container(m, 'r', "(ssss)a(siiddada{sv})a{sv}") > 0) {
    GnomeMonitor monitor;
    bool active = false;
    if (!readMonitor(m, monitor, active) || sd_bus_message_exit_container(m) < 0) {
      return failed(kUnreadable);
    }
    if (active) monitors.push_back(monitor);
  }
  if (sd_bus_message_exit_container(m) < 0) return failed(kUnreadable);

  std::map<std::string, LogicalPlace> places;
  if (sd_bus_message_enter_container(m, 'a', "(iiduba(ssss)a{sv})") <= 0) {
    return failed(kUnreadable);
  }
  while (sd_bus_message_enter_container(m, 'r', "iiduba(ssss)a{sv}") > 0) {
    LogicalPlace place;
    std::uint32_t transform = 0;
    int primary = 0;
    if (sd_bus_message_read(m, "iidub", &place.x, &place.y, &place.scale, &transform, &primary) <
            0 ||
        sd_bus_message_enter_container(m, 'a', "(ssss)") <= 0) {
      return failed(kUnreadable);
    }
    const char *connector = nullptr, *vendor = nullptr, *product = nullptr, *serial = nullptr;
    while (sd_bus_message_read(m, "(ssss)", &connector, &vendor, &product, &serial) > 0)
      places[connector] = place;
    if (sd_bus_message_exit_container(m) < 0 || sd_bus_message_skip(m, "a{sv}") < 0 ||
        sd_bus_message_exit_container(m) < 0) {
      return failed(kUnreadable);
    }
  }
  if (sd_bus_message_exit_container(m) < 0) return failed(kUnreadable);
  // layout-mode: 1 logical, 2 physical; shells that do not say lay out physical pixels.
  std::uint32_t layoutMode = 2;
  if (sd_bus_message_enter_container(m, 'a', "{sv}") > 0) {
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
      const char* key = nullptr;
      if (sd_bus_message_read(m, "s", &key) < 0) return failed(kUnreadable);
      if (std::string(key) != "layout-mode" || sd_bus_message_read(m, "v", "u", &layoutMode) < 0) {
        if (sd_bus_message_skip(m, "v") < 0) return failed(kUnreadable);
      }
      if (sd_bus_message_exit_container(m) < 0) return failed(kUnreadable);
    }
    if (sd_bus_message_exit_container(m) < 0) return failed(kUnreadable);
  }
  const bool logical = layoutMode == 1;

  std::vector<GnomeMonitor> shown;
  for (GnomeMonitor& monitor : monitors) {
    auto place = places.find(monitor.connector);
    if (place == places.end() || place->second.scale <= 0) continue;
    monitor.x = place->second.x;
    monitor.y = place->second.y;
    monitor.scale = place->second.scale;
    monitor.layoutWidth = logical ? monitor.widthPx / monitor.scale : monitor.widthPx;
    monitor.layoutHeight = logical ? monitor.heightPx / monitor.scale : monitor.heightPx;
    shown.push_back(monitor);
  }
  return shown;
}

Task<Expected<std::vector<GnomeMonitor>, Failure>> currentMonitors(dbus::DbusConnection& bus,
                                                                   Duration deadline) {
  const dbus::DbusTarget displayConfig{"org.gnome.Mutter.DisplayConfig",
                                       "/org/gnome/Mutter/DisplayConfig",
                                       "org.gnome.Mutter.DisplayConfig"};
  auto request = bus.newCall(displayConfig, "GetCurrentState");
  auto reply = co_await bus.call(std::move(request), deadline);
  if (!reply) co_return failed(reply.error().description);
  co_return readMonitors(*reply);
}

}  // namespace orvel::gnome
