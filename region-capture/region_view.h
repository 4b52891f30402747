// The helper's side of one overlay panel: passes the panel's own input to the session.
#pragma once

#include <memory>

#include "platform/overlay.h"

namespace orvel::region {

class RegionSession;

class RegionView : public platform::OverlayView {
 public:
  std::weak_ptr<RegionSession> session;
  // The panel showing this view, for converting between its coordinates and the screen's.
  platform::OverlayPanel* window = nullptr;

  void mouseDown(Point location) override;
  void mouseDragged(Point location) override;
  void mouseUp(Point location) override;
  void keyDown(std::uint16_t keyCode) override;
  void pictureShown() override;
};

}  // namespace orvel::region
