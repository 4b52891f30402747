#include "region_view.h"

#include "messages.h"
#include "platform/input_shield.h"
#include "region_session.h"

namespace orvel::region {

namespace {
const platform::Color kWhite{1, 1, 1, 1};
}  // namespace

void RegionView::draw(platform::Canvas& canvas, const Rect& bounds) {
  if (image) canvas.drawImage(*image, bounds, 1);
  // Without a frozen picture the panel is nearly invisible, yet never fully transparent, so that
  // it still receives the pointer.
  canvas.fill(bounds, {0, 0, 0, image ? 0.22 : 0.01});
  canvas.drawText(kInstruction, {35, bounds.height - 70}, 22, kWhite);
  auto current = session.lock();
  if (!current || !current->region || !window) return;
  const Rect& r = *current->region;
  const Rect inScreen{r.x, current->mainHeight - r.maxY(), r.width, r.height};
  canvas.strokeRect(window->convertFromScreen(inScreen), kWhite, 2);
}

void RegionView::mouseDown(Point location) {
  if (auto current = session.lock()) current->down(location, *this);
}

void RegionView::mouseDragged(Point location) {
  if (auto current = session.lock()) current->drag(location, *this);
}

void RegionView::mouseUp(Point location) {
  auto current = session.lock();
  if (!current) return;
  current->drag(location, *this);
  current->released = true;
  current->finishIfReady();
}

void RegionView::keyDown(std::uint16_t keyCode) {
  if (keyCode != platform::kEscapeKeyCode) return;
  if (auto current = session.lock()) current->cancel();
}

}  // namespace orvel::region
