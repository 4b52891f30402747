// One session of mutter's RemoteDesktop service (org.gnome.Mutter.RemoteDesktop on the session
// bus): pointer, wheel, button and key events played into the session as a device's, without a
// dialog. Absolute pointer motion names a screen-cast stream and a place in its pixels, so the
// session is linked to a ScreenCast session recording every monitor (whose streams nobody reads).
// GNOME shows its sharing indicator while the session lives. Destroying it stops it (without
// waiting for the answer); the service also ends it when our connection leaves the bus. Loop
// thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/geometry.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"
#include "platform/gnome/display_config.h"
#include "platform/gnome/screen_cast_session.h"

namespace orvel::gnome {

// A place in mutter's layout as absolute motion gives it: the monitor (an index into the list)
// and the place in that monitor's stream, whose pixels are the monitor's mode.
struct StreamPlace {
  std::size_t monitor = 0;
  double x = 0;
  double y = 0;
  friend bool operator==(const StreamPlace&, const StreamPlace&) = default;
};

// The monitor showing `layout` (a point of mutter's layout) and the place there; nothing when no
// monitor shows it or it is not finite. Pure logic.
std::optional<StreamPlace> streamPlace(const std::vector<GnomeMonitor>& monitors, Point layout);

// `global` (global display coordinates: the main monitor's top-left corner at 0,0, the main one
// being the monitor at 0,0 of the layout, else the first) as a point of mutter's layout. Pure
// logic.
Point layoutPoint(const std::vector<GnomeMonitor>& monitors, Point global);

class RemoteDesktopSession {
 public:
  // A started session whose pointer can reach every monitor of `monitors`.
  static Task<Expected<std::unique_ptr<RemoteDesktopSession>, Failure>> create(
      dbus::DbusConnection& bus, std::vector<GnomeMonitor> monitors, Duration deadline);
  ~RemoteDesktopSession();
  RemoteDesktopSession(const RemoteDesktopSession&) = delete;
  RemoteDesktopSession& operator=(const RemoteDesktopSession&) = delete;

  // The monitors the session was made for.
  const std::vector<GnomeMonitor>& monitors() const { return monitors_; }
  // Whether the service said it closed the session. Known once the loop has run since.
  bool closed() const { return *closed_; }

  // Each returns once the shell has taken the event; the failure says why it did not.
  // The pointer to `layout` (a point of mutter's layout).
  Task<Expected<void, Failure>> movePointer(Point layout, Duration deadline);
  // `steps` clicks of the vertical wheel; positive towards the content's end.
  Task<Expected<void, Failure>> turnWheel(std::int32_t steps, Duration deadline);
  // A smooth vertical scroll of `dy` surface units as a touchpad gives them (finger source, never
  // finished: an end would start GTK's kinetic scrolling); positive towards the content's end.
  // GTK 4 takes the first such event after other input as the start of a scroll and moves
  // nothing for it.
  Task<Expected<void, Failure>> scrollBy(double dy, Duration deadline);
  // A pointer button (evdev code; BTN_LEFT is 272).
  Task<Expected<void, Failure>> button(std::int32_t code, bool pressed, Duration deadline);
  // The key of an X keysym.
  Task<Expected<void, Failure>> key(std::uint32_t keysym, bool pressed, Duration deadline);

 private:
  RemoteDesktopSession(dbus::DbusConnection& bus, std::string path,
                       std::vector<GnomeMonitor> monitors)
      : bus_(bus), path_(std::move(path)), monitors_(std::move(monitors)) {}
  template <class... Args>
  Task<Expected<void, Failure>> notify(std::string member, Duration deadline, const char* types,
                                       Args... args);

  dbus::DbusConnection& bus_;
  std::string path_;
  std::vector<GnomeMonitor> monitors_;
  std::vector<std::string> streams_;         // one per monitor
  std::unique_ptr<ScreenCastSession> cast_;  // linked: stops with this session
  std::shared_ptr<bool> closed_ = std::make_shared<bool>(false);
  dbus::DbusSubscription closing_;
};

}  // namespace orvel::gnome
