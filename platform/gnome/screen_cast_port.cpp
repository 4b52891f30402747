#include "platform/gnome/screen_cast_port.h"

#include "platform/gnome/mutter_service.h"
#include "platform/gnome/pipewire_connection.h"
#include "platform/wayland/wayland_screen_capture.h"

namespace orvel::gnome {

ScreenCastPort::ScreenCastPort(const char* display)
    : connection_(wayland::WaylandConnection::open(display)) {}

ScreenCastPort::~ScreenCastPort() = default;

std::optional<std::string> ScreenCastPort::whyNotAvailable() {
  return serially([this] { return whyScreenCastUnavailable(connection_.get(), session_); });
}

Expected<platform::ShareableContent, platform::PlatformError> ScreenCastPort::shareableContent(
    bool, bool) {
  return serially([this] { return wayland::composedOutputsAsContent(connection_.get()); });
}

Expected<Image, platform::PlatformError> ScreenCastPort::captureImage(
    const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) {
  return serially([&, this]() -> Expected<Image, platform::PlatformError> {
    if (!connection_ || !connection_->ok()) return failed(wayland::kCompositorNotReachable);
    if (!session_.bus()) return failed("The session bus is not reachable.");
    if (config.width <= 0 || config.height <= 0) return failed("Invalid capture size.");
    return takePicture(filter, config);
  });
}

Expected<PipeWireConnection*, Failure> ScreenCastPort::pipewire() {
  if (!pipewire_) {
    auto opened = PipeWireConnection::open(session_.loop());
    if (!opened) return failed(opened.error().description);
    pipewire_ = std::move(*opened);
  }
  return pipewire_.get();
}

std::unique_ptr<PipeWireConnection> ScreenCastPort::takePipeWire() {
  return std::move(pipewire_);
}

void ScreenCastPort::closePipeWire() {
  pipewire_.reset();
}

void ScreenCastPort::closeAll() {
  pipewire_.reset();
  session_.close();
  connection_.reset();
}

}  // namespace orvel::gnome
