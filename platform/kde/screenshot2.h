// KWin's screenshot service (org.kde.KWin.ScreenShot2 at /org/kde/KWin/ScreenShot2 on the session
// bus): a picture of one output, or of an area of the compositor's logical space, which KWin
// writes into a pipe whose write end the call hands over, and describes in its reply. KWin answers
// only programs that an installed desktop entry names (X-KDE-DBUS-Restricted-Interfaces); a
// refusal becomes the message that says what to install.
//
// Loop thread of `bus` only. After the reply the pipe is read on that thread, which it blocks
// until KWin has written the picture (within the call's deadline): callers that must not block
// their loop give the service a connection on a loop of its own (KWinScreenCapture does).
#pragma once

#include <cstdint>
#include <string>

#include "orvel/common/event_loop.h"
#include "orvel/common/failure.h"
#include "orvel/common/geometry.h"
#include "orvel/common/image.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"

namespace orvel::kde {

// A picture KWin took, premultiplied BGRA, with the scale of its pixels to logical points.
struct KWinPicture {
  Image image;
  double scale = 1;
};

// What a program that KWin refused is told: the desktop entry to install, which must name
// `program` (an absolute path) as its Exec=.
std::string notAuthorisedMessage(const std::string& program);

// This program's absolute path (/proc/self/exe), for the refusals' messages.
std::string thisProgramPath();

class Screenshot2 {
 public:
  // `program`: this program's absolute path, for the refusal's message.
  Screenshot2(dbus::DbusConnection& bus, std::string program);

  // The service's version; fails when KWin does not answer on the bus.
  Task<Expected<std::uint32_t, Failure>> version(Duration deadline);
  // The whole output named `output` (wl_output's name), in its own pixels, without the cursor.
  Task<Expected<KWinPicture, Failure>> captureScreen(std::string output, Duration deadline);
  // The area `area` of the logical space (points), in the pixels of the outputs it covers.
  Task<Expected<KWinPicture, Failure>> captureArea(Rect area, Duration deadline);

 private:
  // Sends `request` (its own arguments appended) with the options and the pipe, reads the
  // picture.
  Task<Expected<KWinPicture, Failure>> capture(dbus::DbusMessage request, Duration deadline);
  dbus::DbusConnection& bus_;
  std::string program_;
};

}  // namespace orvel::kde
