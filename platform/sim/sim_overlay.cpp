#include "platform/sim/sim_overlay.h"

namespace orvel::sim {

namespace {

class SimPanel : public platform::OverlayPanel {
 public:
  explicit SimPanel(std::shared_ptr<SimOverlay::PanelRecord> record) : record_(std::move(record)) {}
  ~SimPanel() override { close(); }
  void show(bool makeKey) override {
    record_->shown = true;
    record_->key = makeKey;
  }
  void close() override {
    record_->closed = true;
    record_->key = false;
  }
  Rect frame() const override { return record_->options.frame; }
  Point convertToScreen(Point inWindow) const override {
    return {inWindow.x + frame().x, inWindow.y + frame().y};
  }
  Rect convertFromScreen(const Rect& inScreen) const override {
    return inScreen.offsetBy(-frame().x, -frame().y);
  }

 protected:
  void contentChanged(platform::PanelPart part) override {
    record_->content = content();
    ++(part == platform::PanelPart::kBackdrop ? record_->backdropChanges
                                              : record_->selectionChanges);
  }

 private:
  std::shared_ptr<SimOverlay::PanelRecord> record_;
};

}  // namespace

std::unique_ptr<platform::OverlayPanel> SimOverlay::createPanel(
    const platform::PanelOptions& options, platform::OverlayView& view) {
  auto record = std::make_shared<PanelRecord>();
  record->options = options;
  record->view = &view;
  // A newly keyed panel takes the key status from the others.
  panels_.push_back(record);
  return std::make_unique<SimPanel>(record);
}

int SimOverlay::openPanels() const {
  int n = 0;
  for (const auto& p : panels_)
    n += p->shown && !p->closed;
  return n;
}

SimOverlay::PanelRecord* SimOverlay::panelAt(Point global, Point& inWindow) {
  const auto screens = desktop_.screens();
  const auto displays = desktop_.displays();
  const double mainHeight = displays.empty() ? 0 : displays.front().bounds.maxY();
  const Point screen{global.x, mainHeight - global.y};
  // The front-most (last shown) panel under the point gets the event.
  for (auto it = panels_.rbegin(); it != panels_.rend(); ++it) {
    auto& p = **it;
    if (!p.shown || p.closed || p.options.ignoresMouse) continue;
    const Rect f = p.options.frame;
    if (screen.x >= f.minX() && screen.x <= f.maxX() && screen.y >= f.minY() &&
        screen.y <= f.maxY()) {
      inWindow = {screen.x - f.x, screen.y - f.y};
      return &p;
    }
  }
  return nullptr;
}

bool SimOverlay::deliver(Point global, void (platform::OverlayView::*event)(Point)) {
  Point local;
  auto* p = panelAt(global, local);
  if (!p) return false;
  (p->view->*event)(local);
  return true;
}

bool SimOverlay::mouseDown(Point global) {
  return deliver(global, &platform::OverlayView::mouseDown);
}

bool SimOverlay::mouseDragged(Point global) {
  return deliver(global, &platform::OverlayView::mouseDragged);
}

bool SimOverlay::mouseUp(Point global) {
  return deliver(global, &platform::OverlayView::mouseUp);
}

bool SimOverlay::drag(Point from, Point to, std::vector<Point> via) {
  if (!mouseDown(from)) return false;
  for (Point v : via)
    mouseDragged(v);
  return mouseUp(to);
}

bool SimOverlay::keyDown(std::uint16_t keyCode) {
  for (auto it = panels_.rbegin(); it != panels_.rend(); ++it) {
    auto& p = **it;
    if (p.shown && !p.closed && p.key) {
      p.view->keyDown(keyCode);
      return true;
    }
  }
  return false;
}

}  // namespace orvel::sim
