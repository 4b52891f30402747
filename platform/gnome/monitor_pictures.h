// The frozen pictures of a region capture on GNOME: one frame of every monitor, taken through a
// ScreenCast session recording them all (GNOME shows its sharing indicator while it lives).
// Loop thread only.
#pragma once

#include <memory>
#include <vector>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/image.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"
#include "platform/gnome/display_config.h"
#include "platform/gnome/pipewire_connection.h"

namespace orvel::gnome {

class PipeWireFrameStream;
class ScreenCastSession;
class SharingNoticeHold;

// The failure of pictures whose monitors changed.
inline constexpr const char* kDisplayChanged = "Display configuration changed. Retry Capture.";

struct MonitorPicture {
  GnomeMonitor monitor;
  Image picture;  // the monitor's pixels, its current mode's size
};

// Every monitor DisplayConfig lists, recorded in one session and read at once: mutter sends each
// stream's first frame as it starts, then one whenever the monitor's picture changes. The sharing
// notice is held (sharing_notice.h) from before the recording starts until the first pictures
// have been taken. The recording lives until this object goes (the session is stopped then). The
// PipeWire connection that reads it must not outlive it unread: mutter 43 then sends no first
// frame to any new screen cast until the screen changes (owners disconnect when their recordings
// end).
class MonitorRecording {
 public:
  // The monitors as they are now, their streams connected; within `deadline`.
  static Task<Expected<std::unique_ptr<MonitorRecording>, Failure>> open(
      dbus::DbusConnection& bus, PipeWireConnection& pipewire, Duration deadline);
  ~MonitorRecording();
  MonitorRecording(const MonitorRecording&) = delete;
  MonitorRecording& operator=(const MonitorRecording&) = delete;

  // Every monitor's newest picture, in the order DisplayConfig listed them: for each stream the
  // newest frame that came since the last one taken, or the next one, all within `deadline`.
  // Fails with "Display configuration changed. Retry Capture." when a picture does not match its
  // monitor's mode or mutter ended the recording (a monitor went away).
  Task<Expected<std::vector<MonitorPicture>, Failure>> pictures(Duration deadline);

  // Whether mutter ended the recording: no frame will come any more.
  bool over() const;

 private:
  MonitorRecording(dbus::DbusConnection& bus, PipeWireConnection& pipewire);

  dbus::DbusConnection& bus_;
  PipeWireConnection& pipewire_;
  std::vector<GnomeMonitor> monitors_;
  std::unique_ptr<SharingNoticeHold> notice_;  // until the first pictures are taken
  std::unique_ptr<ScreenCastSession> session_;
  std::vector<std::unique_ptr<PipeWireFrameStream>> streams_;  // go before their session
};

// Every monitor's picture through a recording of its own, ended as soon as they are in.
Task<Expected<std::vector<MonitorPicture>, Failure>> takeMonitorPictures(
    dbus::DbusConnection& bus, PipeWireConnection& pipewire, Duration deadline);

}  // namespace orvel::gnome
