// The helper's side of one selection overlay panel: it forwards the panel's input to the helper.
#pragma once

#include "platform/overlay.h"

namespace orvel::scroll {

class ScrollCaptureHelper;

class SelectionView final : public platform::OverlayView {
 public:
  explicit SelectionView(ScrollCaptureHelper& helper) : helper_(helper) {}
  void attach(platform::OverlayPanel* panel) { panel_ = panel; }

  void mouseDown(Point inWindow) override;
  void mouseDragged(Point inWindow) override;
  void mouseUp(Point inWindow) override;
  void keyDown(std::uint16_t keyCode) override;

 private:
  ScrollCaptureHelper& helper_;
  platform::OverlayPanel* panel_ = nullptr;
};

}  // namespace orvel::scroll
