// One session of mutter's ScreenCast service (org.gnome.Mutter.ScreenCast on the session bus):
// streams of whole monitors or of one area, each read from the PipeWire node the service names
// once the session starts. A session linked to a RemoteDesktop session is started by that one.
// While a session lives, GNOME shows its sharing indicator: owners hold one only while a capture
// needs it. Destroying the session stops it (without waiting for the answer); the service also ends
// it when our connection leaves the bus. Loop thread only.
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
  // `remoteDesktopSession`: the SessionId of a RemoteDesktop session to link to; empty for none.
  static Task<Expected<std::unique_ptr<ScreenCastSession>, Failure>> create(
      dbus::DbusConnection& bus, Duration deadline, std::string remoteDesktopSession = {});
  ~ScreenCastSession();
  ScreenCastSession(const ScreenCastSession&) = delete;
  ScreenCastSession& operator=(const ScreenCastSession&) = delete;

  // Records each monitor (by connector, without the pointer) and starts the session; the
  // PipeWire node of each stream, in the order of `connectors`. Once per session.
  Task<Expected<std::vector<std::uint32_t>, Failure>> recordMonitors(
      std::vector<std::string> connectors, Duration deadline);
  // Records `area` (whole pixels of mutter's layout, inside one monitor; the service refuses or
  // stalls on an area across monitors) without the pointer, starts the session and returns the
  // stream's PipeWire node. Once per session.
  Task<Expected<std::uint32_t, Failure>> recordArea(int x, int y, int width, int height,
                                                    Duration deadline);
  // Adds a stream of the monitor `connector` without starting the session (a linked session
  // starts with its RemoteDesktop session); the stream's object path.
  Task<Expected<std::string, Failure>> addMonitorStream(std::string connector, Duration deadline);

  // Whether the service said it closed the session (a monitor it recorded went away, the shell
  // ended it). Known once a started session's loop has run since.
  bool closed() const { return *closed_; }

  const std::string& path() const { return path_; }

 private:
  ScreenCastSession(dbus::DbusConnection& bus, std::string path, bool linked)
      : bus_(bus), path_(std::move(path)), linked_(linked) {}
  // Starts the session with `streams` added and returns each one's node, in their order.
  Task<Expected<std::vector<std::uint32_t>, Failure>> start(std::vector<std::string> streams,
                                                            Duration deadline);
  dbus::DbusConnection& bus_;
  std::string path_;
  bool linked_;  // stopped with its RemoteDesktop session, which refuses a Stop of its own
  std::shared_ptr<bool> closed_ = std::make_shared<bool>(false);
  dbus::DbusSubscription closing_;
};

}  // namespace orvel::gnome
