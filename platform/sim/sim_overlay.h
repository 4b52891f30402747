// Overlay panels of the sim desktop: records every panel and the content it was told to show, and
// delivers test-driven mouse and key input the way a window system would.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/overlay.h"
#include "platform/sim/sim_desktop.h"

namespace orvel::sim {

class SimOverlay : public platform::Overlay {
 public:
  struct PanelRecord {
    platform::PanelOptions options;
    platform::OverlayView* view = nullptr;
    bool shown = false;
    bool key = false;
    bool closed = false;
    // The content as the panel retains it, and how often each part changed.
    platform::PanelContent content;
    int backdropChanges = 0;
    int selectionChanges = 0;
  };

  explicit SimOverlay(SimDesktop& desktop) : desktop_(desktop) {}

  std::unique_ptr<platform::OverlayPanel> createPanel(const platform::PanelOptions& options,
                                                      platform::OverlayView& view) override;
  void pushCursor(platform::CursorKind cursor) override { cursors_.push_back(cursor); }
  void popCursor() override {
    if (!cursors_.empty()) cursors_.pop_back();
  }
  void setCursor(platform::CursorKind cursor) override { current_ = cursor; }

  // ---- for tests -------------------------------------------------------------------------
  // Every panel ever created, in creation order.
  const std::vector<std::shared_ptr<PanelRecord>>& panels() const { return panels_; }
  // Panels shown and not closed.
  int openPanels() const;
  // Input at a point in global display coordinates, delivered to the open panel under it (in
  // window coordinates). Returns false when no open panel is there.
  bool mouseDown(Point global);
  bool mouseDragged(Point global);
  bool mouseUp(Point global);
  // A drag from `from` to `to`: down, one drag event at each point of `via`, up at `to`.
  bool drag(Point from, Point to, std::vector<Point> via = {});
  // A key press, delivered to the key panel. Returns false when none is open.
  bool keyDown(std::uint16_t keyCode);
  const std::vector<platform::CursorKind>& cursorStack() const { return cursors_; }
  std::optional<platform::CursorKind> currentCursor() const { return current_; }

 private:
  PanelRecord* panelAt(Point global, Point& inWindow);
  // Hands a pointer event at `global` to the view of the panel under it: whether there was one.
  bool deliver(Point global, void (platform::OverlayView::*event)(Point));
  SimDesktop& desktop_;
  std::vector<std::shared_ptr<PanelRecord>> panels_;
  std::vector<platform::CursorKind> cursors_;
  std::optional<platform::CursorKind> current_;
};

}  // namespace orvel::sim
