// The sharing notice held while a recording's first frames are taken. GNOME Shell shows its
// screen-sharing indicator in the top bar as soon as a screen cast starts, so the frozen pictures
// of a region capture would show an indicator that was not on the screen at the request. Orvel's
// extension (org.orvel.Helpers.Capture) holds the indicator's news of screen casts that start
// while an installed helper holds the notice, and gives it when the hold ends: the indicator still
// shows them, a moment later. The extension limits a hold to 2 s and ends it when its helper
// leaves the bus. Without the extension (not enabled, or a helper run from elsewhere than its
// installed path) nothing is held and the pictures show the indicator. Loop thread only.
#pragma once

#include <memory>

#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"

namespace orvel::gnome {

class SharingNoticeHold {
 public:
  // Asks the extension to hold the notice, waiting at most `deadline` for its yes; nothing when it
  // said no or did not answer in time (a hold granted later still ends with the returned object's
  // end, or the extension's limit).
  static Task<std::unique_ptr<SharingNoticeHold>> take(dbus::DbusConnection& bus,
                                                       Duration deadline);
  // Ends the hold without waiting for an answer.
  ~SharingNoticeHold();
  SharingNoticeHold(const SharingNoticeHold&) = delete;
  SharingNoticeHold& operator=(const SharingNoticeHold&) = delete;

 private:
  explicit SharingNoticeHold(dbus::DbusConnection& bus) : bus_(bus) {}
  static void release(dbus::DbusConnection& bus);

  dbus::DbusConnection& bus_;
};

}  // namespace orvel::gnome
