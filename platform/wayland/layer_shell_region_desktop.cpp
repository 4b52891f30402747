#include "platform/wayland/layer_shell_region_desktop.h"

namespace orvel::wayland {

LayerShellRegionDesktop::LayerShellRegionDesktop(std::unique_ptr<WaylandConnection> connection)
    : connection_(std::move(connection)) {}

LayerShellRegionDesktop::~LayerShellRegionDesktop() {
  overlay_.reset();
  shield_.reset();
  pump_.reset();
}

void LayerShellRegionDesktop::start(EventLoop& loop, bool judgesFocus) {
  usable_ = true;
  pump_ = std::make_unique<WaylandEventPump>(loop, *connection_);
  screens_ = std::make_unique<WaylandScreens>(*connection_);
  shield_ = std::make_unique<WaylandInputShield>(*connection_, judgesFocus);
  overlay_ = std::make_unique<WaylandOverlay>(loop, *connection_, *screens_, *shield_);
}

}  // namespace orvel::wayland
