// One session of mutter's ScreenCast service (org.gnome.Mutter.ScreenCast on the session bus):
// streams of whole monitors, each read from the PipeWire node the service names once the session
// starts. While a session lives, GNOME shows its sharing indicator: owners hold one only while a
// capture needs it. Destroying the session stops it (without waiting for the answer); the
// service also ends it when our connection leaves the bus. Loop thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"

namespace orvel::gnome {

class ScreenCastSession {
 public:
  static Task<Expected<std::unique_ptr<ScreenCastSession>, Failure>> create(
      dbus::DbusConnection& bus, Duration deadline);
  ~ScreenCastSession();
  ScreenCastSession(const ScreenCastSession&) = delete;
  ScreenCastSession& operator=(const ScreenCastSession&) = delete;

  // Records each monitor (by connector, without the pointer) and starts the session; the
  // PipeWire node of each stream, in the order of `connectors`. Once per session.
  Task<Expected<std::vector<std::uint32_t>, Failure>> recordMonitors(
      std::vector<std::string> connectors, Duration deadline);

  const std::string& path() const { return path_; }

 private:
  ScreenCastSession(dbus::DbusConnection& bus, std::string path)
      : bus_(bus), path_(std::move(path)) {}
  dbus::DbusConnection& bus_;
  std::string path_;
};

}  // namespace orvel::gnome
