// The content of one overlay panel: the frozen picture of its display once there is one, dimmed,
// the instruction, and the outline of the selection. Passes the panel's own input to the session.
#pragma once

#include <memory>

#include "orvel/common/image.h"
#include "platform/overlay.h"

namespace orvel::region {

class RegionSession;

class RegionView : public platform::OverlayView {
 public:
  std::weak_ptr<RegionSession> session;
  std::shared_ptr<const Image> image;
  // The panel showing this view, for converting between its coordinates and the screen's.
  platform::OverlayPanel* window = nullptr;

  void draw(platform::Canvas& canvas, const Rect& bounds) override;
  void mouseDown(Point location) override;
  void mouseDragged(Point location) override;
  void mouseUp(Point location) override;
  void keyDown(std::uint16_t keyCode) override;
};

}  // namespace orvel::region
