#include "region_view.h"

#include "platform/input_shield.h"
#include "region_session.h"

namespace orvel::region {

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

void RegionView::pictureShown() {
  if (auto current = session.lock()) current->pictureShown();
}

}  // namespace orvel::region
