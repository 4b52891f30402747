// The selection overlay and the "region" command.
#include <chrono>
#include <cmath>

#include "messages.h"
#include "scroll_capture_helper.h"
#include "selection_view.h"

namespace orvel::scroll {

namespace {
constexpr int kOverlayLevel = 1000;
constexpr platform::Color kDimming{0, 0, 0, 0.22};
constexpr double kInstructionFontSize = 22;
constexpr double kOutlineWidth = 2;
constexpr auto kSettlePause = std::chrono::milliseconds(150);
}  // namespace

void SelectionView::mouseDown(Point p) {
  if (panel_) helper_.mouseDown(*panel_, p);
}
void SelectionView::mouseDragged(Point p) {
  if (panel_) helper_.mouseDragged(*panel_, p);
}
void SelectionView::mouseUp(Point p) {
  if (panel_) helper_.mouseUp(*panel_, p);
}
void SelectionView::keyDown(std::uint16_t keyCode) {
  helper_.keyDown(keyCode);
}

Task<std::optional<Rect>> ScrollCaptureHelper::chooseRegion(std::string instruction) {
  // One selection at a time: a new one cancels the one still waiting for the user.
  if (state_.selection) completeSelection(std::nullopt);
  state_.selectionInstruction = std::move(instruction);
  state_.startPoint.reset();
  state_.chosenRegion.reset();
  OneShot<std::optional<Rect>> pending(loop_);
  state_.selection = pending;
  for (const auto& screen : ports_.screens.screens()) {
    auto view = std::make_unique<SelectionView>(*this);
    auto panel = ports_.overlay.createPanel({screen.frame, kOverlayLevel, false}, *view);
    view->attach(panel.get());
    panel->setVeil(kDimming);
    panel->setInstruction({state_.selectionInstruction, kInstructionFontSize});
    state_.panels.push_back(std::move(panel));
    views_.push_back(std::move(view));
    state_.panels.back()->show(true);
  }
  co_return co_await pending.wait();
}

void ScrollCaptureHelper::completeSelection(std::optional<Rect> region) {
  // Taken out first, so that input arriving while the panels close finds nothing to resume.
  std::vector<OneShot<std::optional<Rect>>> pending;
  if (state_.selection) pending.push_back(*state_.selection);
  state_.selection.reset();
  for (auto& panel : state_.panels)
    panel->close();
  // The input that got us here may still be running inside one of these views: free them later.
  auto retiredPanels = std::make_shared<decltype(state_.panels)>(std::move(state_.panels));
  auto retiredViews = std::make_shared<decltype(views_)>(std::move(views_));
  state_.panels.clear();
  views_.clear();
  loop_.defer([retiredPanels, retiredViews] {});
  for (auto& p : pending)
    p.resolve(region);
}

void ScrollCaptureHelper::mouseDown(const platform::OverlayPanel& panel, Point inWindow) {
  state_.startPoint = quartz(panel.convertToScreen(inWindow));
  state_.chosenRegion.reset();
  showChosenRegion();
}

void ScrollCaptureHelper::mouseDragged(const platform::OverlayPanel& panel, Point inWindow) {
  if (!state_.startPoint) return;
  const Point p = quartz(panel.convertToScreen(inWindow));
  const Point s = *state_.startPoint;
  state_.chosenRegion = Rect{std::floor(std::min(s.x, p.x)), std::floor(std::min(s.y, p.y)),
                             std::ceil(std::fabs(p.x - s.x)), std::ceil(std::fabs(p.y - s.y))};
  showChosenRegion();
}

void ScrollCaptureHelper::mouseUp(const platform::OverlayPanel& panel, Point inWindow) {
  mouseDragged(panel, inWindow);
  completeSelection(state_.chosenRegion);
}

void ScrollCaptureHelper::keyDown(std::uint16_t keyCode) {
  if (keyCode == platform::kEscapeKeyCode) completeSelection(std::nullopt);
}

void ScrollCaptureHelper::showChosenRegion() {
  for (auto& panel : state_.panels) {
    std::optional<platform::Outline> outline;
    if (state_.chosenRegion) {
      const Rect r = state_.chosenRegion->standardized();
      const Rect inScreen{r.minX(), mainHeight() - r.maxY(), r.width, r.height};
      outline = platform::Outline{panel->convertFromScreen(inScreen), kOutlineWidth};
    }
    panel->setSelection(outline);
  }
}

Task<Outcome<Json>> ScrollCaptureHelper::selectNormalRegion() {
  if (!ports_.permissions.screenCaptureAllowed()) {
    co_return refused(platform::PermissionReply::kScrollScreenRecording,
                      msg::kAllowScreenRecording);
  }
  auto region = co_await chooseRegion(msg::kRegionInstruction);
  if (!region || !(region->width > 2) || !(region->height > 2)) {
    co_return Json{{"ok", true}, {"canceled", true}};
  }
  co_await sleepFor(loop_, kSettlePause);
  co_return Json{{"ok", true}, {"region", rectJSON(*region)}};
}

}  // namespace orvel::scroll
