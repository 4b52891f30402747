#include "platform/wayland/overlay_stage.h"

namespace orvel::wayland {

OverlayStage::OverlayStage(EventLoop& loop, WaylandConnection& connection, Options options)
    : pump_(loop, connection),
      screens_(connection),
      shield_(connection, options.focusJudgement),
      overlay_(loop, connection, screens_, shield_, options.mode, options.role,
               std::move(options.activationToken)) {
  pump_.onConnectionLost([this] { overlay_.connectionLost(); });
}

}  // namespace orvel::wayland
