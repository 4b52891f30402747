#include "platform/wayland/staged_desktop.h"

namespace orvel::wayland {

StagedDesktop::StagedDesktop(std::unique_ptr<WaylandConnection> connection)
    : connection_(std::move(connection)) {}

StagedDesktop::~StagedDesktop() = default;

void StagedDesktop::startStage(EventLoop& loop, OverlayStage::Options options) {
  stage_ = std::make_unique<OverlayStage>(loop, *connection_, std::move(options));
}

}  // namespace orvel::wayland
