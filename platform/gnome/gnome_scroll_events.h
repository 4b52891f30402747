// The ScrollEvents port on GNOME Shell: wheel events played through a RemoteDesktop session of
// mutter's (remote_desktop_session.h) on a session-bus connection of this object's own. Each event
// moves the pointer to its location and turns the wheel there: line units are wheel clicks
// (NotifyPointerAxisDiscrete, one per line), pixel units smooth scrolling of one logical pixel per
// unit (NotifyPointerAxis); negative deltas scroll towards the content's end, as everywhere.
//
// The session opens when a source is first opened (or the pointer first rested) and stays open
// for the next events; it is made anew when the monitors change, and ends on release(), when this
// object goes and when the helper leaves the bus. GNOME shows its sharing indicator while it
// lives. As on every Wayland desktop the pointer cannot be put back: it stays where it last moved.
//
// Loop thread only; each call returns once the shell has taken its events (or after a bounded
// wait), running a private event loop meanwhile.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/dbus/private_session_bus.h"
#include "platform/gnome/remote_desktop_session.h"
#include "platform/posting_scroll_events.h"

namespace orvel::gnome {

class GnomeScrollEvents final : public platform::PostingScrollEvents {
 public:
  // The session bus from $DBUS_SESSION_BUS_ADDRESS.
  GnomeScrollEvents();
  ~GnomeScrollEvents() override;
  GnomeScrollEvents(const GnomeScrollEvents&) = delete;
  GnomeScrollEvents& operator=(const GnomeScrollEvents&) = delete;

  // Nothing when mutter's RemoteDesktop service answers; otherwise why not, for the log.
  std::optional<std::string> whyNotAvailable();

  // True once a session is open for the monitors the shell has now.
  bool openSource() override;
  // GTK 4 moves its views by 2.5 px a smooth unit and by page^(2/3) a wheel click, not by the
  // pixels sent: each step's move is measured on the region's frames.
  bool measuresClicks() const override { return true; }
  void post(const platform::ScrollWheelEvent& event) override;
  void restPointer(Point place) override;

  // Ends the session (the target is gone); the next source opens a new one.
  void release();
  // Whether a session is open: for tests.
  bool sessionOpen() const { return session_ != nullptr; }

 private:
  // A session for the shell's monitors now; false when none could be opened.
  bool ensureSession();

  dbus::PrivateSessionBus bus_;
  std::unique_ptr<RemoteDesktopSession> session_;
};

}  // namespace orvel::gnome
