// The user's hand on a GNOME test desktop, through mutter's RemoteDesktop service: a session of
// the test's own, linked to a ScreenCast session that records every monitor (pointer positions go
// to a monitor's stream, in that monitor's pixels). Each call waits for the shell's answer on the
// test's own loop; false when it did not answer or refused. The first key of a new session can be
// lost in mutter 43: callers press a harmless key first (warmUp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "orvel/common/event_loop.h"
#include "platform/dbus/dbus_connection.h"
#include "platform/gnome/display_config.h"

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
  // Taps Shift, which no test watches, so that the session's first key is not one that matters.
  bool warmUp() { return tap(0xffe1); }

 private:
  GnomeHand(EventLoop& loop, dbus::DbusConnection& bus) : loop_(loop), bus_(bus) {}
  // Calls `member` on the RemoteDesktop session with arguments `types` `args...`.
  template <class... Args>
  bool notify(const char* member, const char* types, Args... args);

  EventLoop& loop_;
  dbus::DbusConnection& bus_;
  std::string session_;
  std::vector<gnome::GnomeMonitor> monitors_;
  std::vector<std::string> streams_;  // one per monitor
};

// Ends the Activities overview, where windows take no input: waits for the shell to open it once
// it has started (at most 10 s; it would open it over an earlier end), sets org.gnome.Shell's
// OverviewActive to false and waits until it reads so. False when the shell refused.
bool leaveOverview(EventLoop& loop, dbus::DbusConnection& bus);

// Sends `request` and waits for its reply on `loop` (at most 10 s); a failure says why.
Expected<dbus::DbusMessage, Failure> callAndWait(EventLoop& loop, dbus::DbusConnection& bus,
                                                 dbus::DbusMessage request);

// Enables the installed extension `uuid` through org.gnome.Shell.Extensions, as the user's
// `gnome-extensions enable` does; false, and `whyNot` says why, when the shell refused.
bool enableExtension(EventLoop& loop, dbus::DbusConnection& bus, const std::string& uuid,
                     std::string& whyNot);

}  // namespace orvel::gnometest
