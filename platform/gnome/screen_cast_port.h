// What GNOME Shell's two ScreenCast ports share (gnome_screen_capture.h: whole monitors for the
// region helper; gnome_frame_capture.h: one area's frames for the scroll helper): a Wayland
// connection of their own for the outputs (display ids are wl_output global names), a session bus
// of their own, the PipeWire connection their recordings read, and the answers that do not depend
// on what is recorded. Windows cannot be left out.
//
// The ports differ in how they serialise their calls, which come from any thread: each defines
// runSerially (a lock, a worker thread of its own) and says so in its header. The connections are
// used only in the port's turn (inside runSerially), but for posting to the bus's loop, which any
// thread may do; the public calls here take their turn themselves.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "platform/dbus/private_session_bus.h"
#include "platform/screen_capture.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::gnome {

class PipeWireConnection;

class ScreenCastPort : public platform::ScreenCapture {
 public:
  ~ScreenCastPort() override;
  ScreenCastPort(const ScreenCastPort&) = delete;
  ScreenCastPort& operator=(const ScreenCastPort&) = delete;

  // Nothing when mutter's ScreenCast service answers and the compositor is reachable; otherwise
  // why not, for the log.
  std::optional<std::string> whyNotAvailable();

  Expected<platform::ShareableContent, platform::PlatformError> shareableContent(
      bool excludeDesktopWindows, bool onScreenWindowsOnly) final;
  // Refused without a compositor, a session bus or a size; otherwise the port's takePicture.
  Expected<Image, platform::PlatformError> captureImage(
      const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) final;

 protected:
  // `display` null: $WAYLAND_DISPLAY; the session bus from $DBUS_SESSION_BUS_ADDRESS.
  explicit ScreenCastPort(const char* display);

  // Runs `job` in the port's turn and returns once it has run. Any thread but the port's own.
  virtual void runSerially(const std::function<void()>& job) = 0;
  // The picture captureImage asks for, once the compositor, the bus and the size are there.
  virtual Expected<Image, platform::PlatformError> takePicture(
      const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) = 0;

  // `job`'s result, run through runSerially.
  template <class F>
  auto serially(F job) -> decltype(job()) {
    std::optional<decltype(job())> result;
    runSerially([&] { result.emplace(job()); });
    return std::move(*result);
  }

  dbus::PrivateSessionBus& session() { return session_; }
  wayland::WaylandConnection* connection() { return connection_.get(); }
  // The PipeWire connection, opened on first use; why it cannot be opened.
  Expected<PipeWireConnection*, Failure> pipewire();
  // Lets the PipeWire connection go. After the streams that read it: one left unread after its
  // stream ended holds up the first frames of every new screen cast (monitor_pictures.h).
  void closePipeWire();
  // Hands the PipeWire connection over, for the caller to let go later; the next use opens another.
  std::unique_ptr<PipeWireConnection> takePipeWire();
  // Closes the PipeWire connection, the bus and the compositor connection: from the port's
  // destructor, in its turn, once its recordings have ended.
  void closeAll();

 private:
  dbus::PrivateSessionBus session_;
  std::unique_ptr<wayland::WaylandConnection> connection_;
  std::unique_ptr<PipeWireConnection> pipewire_;
};

}  // namespace orvel::gnome
