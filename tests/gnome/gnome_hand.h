// The user's hand on a GNOME test desktop, through mutter's RemoteDesktop service: a session of
// the test's own, linked to a ScreenCast session that records every monitor (pointer positions go
// to a monitor's stream, in that monitor's pixels). Each call waits for the shell's answer on the
// test's own loop; false when it did not answer or refused. The first key of a new session can be
// lost in mutter 43: callers press a harmless key first (warmUp).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "gnome_rig.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/image.h"
#include "platform/dbus/dbus_connection.h"
#include "platform/gnome/monitor_pictures.h"
#include "platform/gnome/remote_desktop_session.h"
#include "rgba_png.h"

namespace orvel::gnometest {

class GnomeHand {
 public:
  // Null, with the reason in `whyNot`, when the sessions cannot be opened.
  static std::unique_ptr<GnomeHand> open(EventLoop& loop, dbus::DbusConnection& bus,
                                         std::string& whyNot);
  ~GnomeHand();
  GnomeHand(const GnomeHand&) = delete;
  GnomeHand& operator=(const GnomeHand&) = delete;

  // The pointer to (x, y) in mutter's layout.
  bool move(double x, double y);
  // The left button (BTN_LEFT).
  bool button(bool pressed);
  // Presses and releases the key of an X keysym.
  bool tap(std::uint32_t keysym);
  // Taps Shift, which no test watches, so that the session's first key is not one that matters,
  // and moves the pointer to the main monitor's middle: mutter adds the session's pointer to the
  // seat only at its first event, and a client that learns of it then takes the events that
  // come before its wl_pointer exists for none (the first press on a fresh overlay went so).
  bool warmUp() { return tap(0xffe1) && move(640, 400); }

 private:
  GnomeHand(EventLoop& loop, std::unique_ptr<gnome::RemoteDesktopSession> session)
      : loop_(loop), session_(std::move(session)) {}
  // Runs the event that `play` starts until the shell took it.
  bool played(const std::function<Task<Expected<void, Failure>>()>& play);

  EventLoop& loop_;
  std::unique_ptr<gnome::RemoteDesktopSession> session_;
};

// Ends the Activities overview, where windows take no input: waits for the shell to open it once
// it has started (at most 45 s on a loaded machine; it would open it over an earlier end), sets
// org.gnome.Shell's OverviewActive to false and waits until it reads so, asking again while the
// start-up animation swallows the end. False when the shell never left it.
bool leaveOverview(EventLoop& loop, dbus::DbusConnection& bus);
// Opens the Activities overview and waits until OverviewActive reads true.
bool openOverview(EventLoop& loop, dbus::DbusConnection& bus);

// Sends `request` and waits for its reply on `loop` (at most 10 s); a failure says why.
Expected<dbus::DbusMessage, Failure> callAndWait(EventLoop& loop, dbus::DbusConnection& bus,
                                                 dbus::DbusMessage request);

// Enables the installed extension `uuid` through org.gnome.Shell.Extensions, as the user's
// `gnome-extensions enable` does; false, and `whyNot` says why, when the shell refused.
bool enableExtension(EventLoop& loop, dbus::DbusConnection& bus, const std::string& uuid,
                     std::string& whyNot);

// A long page in a GTK 4 text view maximized on the main monitor (text_page.py), run with python3
// in the session; `moving`: it scrolls itself at every frame. Null when it cannot start.
std::unique_ptr<testsupport::ChildProcess> startTextPage(const GnomeRig& rig, bool moving = false);

// Whether two pictures have the same size and pixels.
bool samePixels(const Image& a, const Image& b);

// The area from (left, top) to (right, bottom) of mutter's layout as straight RGBA at `scale`
// pixels per layout unit, composed from the shell's pictures of every monitor: each pixel the
// monitor's pixel under its centre (pixels no monitor shows stay zero).
waylandtest::RgbaPicture layoutArea(const std::vector<gnome::MonitorPicture>& pictures, int left,
                                    int top, int right, int bottom, double scale = 1);

// Waits (at most `limit`) until two looks in a row show `truth` dimmed as the region overlay shows
// it: mutter maps a new window a moment after it got its first buffer, and a press before that
// misses the overlay. `wrong`: how many pixels of the last look were not (-1: no look).
bool overlaySettled(const std::function<std::optional<waylandtest::RgbaPicture>()>& look,
                    const waylandtest::RgbaPicture& truth, long& wrong,
                    std::chrono::milliseconds limit);

// Switches every monitor but `connector` off for the session (DisplayConfig's
// ApplyMonitorsConfig, temporary): a monitor removed at run time. False when the shell refused.
bool keepOnlyMonitor(EventLoop& loop, dbus::DbusConnection& bus, const std::string& connector);

// The sessions of a mutter service that are still there, by the children of its session folder
// ("/org/gnome/Mutter/ScreenCast/Session"); 99 when the shell does not answer.
std::size_t liveSessions(EventLoop& loop, dbus::DbusConnection& bus, const std::string& service);
inline constexpr const char* kScreenCastSessions = "ScreenCast";
inline constexpr const char* kRemoteDesktopSessions = "RemoteDesktop";

}  // namespace orvel::gnometest
