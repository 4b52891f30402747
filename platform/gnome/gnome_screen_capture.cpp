#include "platform/gnome/gnome_screen_capture.h"

#include "platform/gnome/monitor_pictures.h"
#include "platform/gnome/mutter_service.h"
#include "platform/gnome/pipewire_connection.h"
#include "platform/wayland/picture_scaling.h"
#include "platform/wayland/wayland_screen_capture.h"

namespace orvel::gnome {

namespace {

using namespace std::chrono_literals;

// The shell renders the monitors before the first frames come: generous for a loaded machine,
// still bounded.
constexpr auto kCaptureDeadline = 5s;
constexpr auto kProbeDeadline = 2s;
constexpr const char* kNotReachable = "The compositor is not reachable.";

platform::PlatformError error(std::string description) {
  return platform::PlatformError{std::move(description)};
}

}  // namespace

GnomeScreenCapture::GnomeScreenCapture(const char* display)
    : connection_(wayland::WaylandConnection::open(display)) {}

GnomeScreenCapture::~GnomeScreenCapture() {
  std::lock_guard lock(mutex_);
  session_.close();
  connection_.reset();
}

std::optional<std::string> GnomeScreenCapture::whyNotAvailable() {
  std::lock_guard lock(mutex_);
  if (!connection_ || !connection_->ok()) return "no Wayland compositor answers";
  if (auto why = whyMutterServiceSilent(session_, "org.gnome.Mutter.ScreenCast", kProbeDeadline))
    return "mutter's ScreenCast service does not answer (" + *why + ")";
  return std::nullopt;
}

Expected<platform::ShareableContent, platform::PlatformError> GnomeScreenCapture::shareableContent(
    bool, bool) {
  std::lock_guard lock(mutex_);
  return wayland::composedOutputsAsContent(connection_.get());
}

Expected<wayland::PictureBatch::Pictures, platform::PlatformError>
GnomeScreenCapture::captureAll() {
  auto pipewire = PipeWireConnection::open(session_.loop());
  if (!pipewire) return unexpected(error(pipewire.error().description));
  auto pictures = session_.run(takeMonitorPictures(*session_.bus(), **pipewire, kCaptureDeadline));
  if (!pictures) return unexpected(error(pictures.error().description));
  wayland::PictureBatch::Pictures out;
  for (MonitorPicture& p : *pictures) {
    for (const auto& o : connection_->outputs()) {
      if (o->name == p.monitor.connector) out.emplace(o->globalName, std::move(p.picture));
    }
  }
  return out;
}

Expected<Image, platform::PlatformError> GnomeScreenCapture::captureImage(
    const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) {
  std::lock_guard lock(mutex_);
  if (!connection_ || !connection_->ok()) return unexpected(error(kNotReachable));
  if (!session_.bus()) return unexpected(error("The session bus is not reachable."));
  if (config.width <= 0 || config.height <= 0) return unexpected(error("Invalid capture size."));
  auto picture = batch_.takeOrTakeAll(
      filter.displayID, std::chrono::steady_clock::now(),
      [&]() -> Expected<wayland::PictureBatch::Pictures, platform::PlatformError> {
        if (!connection_->roundtrip()) return unexpected(error(kNotReachable));
        if (!connection_->findOutput(filter.displayID))
          return unexpected(error("The display is not available."));
        return captureAll();
      });
  if (!picture) return picture;
  const wayland::WaylandOutput* output = connection_->findOutput(filter.displayID);
  return wayland::configuredPicture(std::move(picture).value(), output ? output->logical.width : 0,
                                    config);
}

}  // namespace orvel::gnome
