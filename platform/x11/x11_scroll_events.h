// The ScrollEvents port on X11: wheel clicks through XTest (buttons 4 and 5) at the event's
// location. The pointer moves there for the clicks and goes back where the user left it.
//
// X wheels only click. Line units are one click per line. Pixel units (points, really) add up
// across events and turn into one click per kPointsPerWheelClick; the rest carries over to the
// next event in the same direction. Main thread only.
#pragma once

#include "platform/posting_scroll_events.h"
#include "platform/x11/x11_screens.h"

namespace orvel::x11 {

// About what one wheel click scrolls in common toolkits (three lines of text).
inline constexpr double kPointsPerWheelClick = 48;

class X11ScrollEvents final : public platform::PostingScrollEvents {
 public:
  X11ScrollEvents(X11Connection& connection, X11Screens& screens)
      : connection_(connection), screens_(screens) {}

  bool openSource() override;
  void post(const platform::ScrollWheelEvent& event) override;
  bool measuresClicks() const override { return true; }

  // The clicks an event makes (positive: towards the content's end, button 5), updating the
  // carried remainder.
  int clicksFor(const platform::ScrollWheelEvent& event);

 private:
  X11Connection& connection_;
  X11Screens& screens_;
  double carried_ = 0;  // points not yet clicked; the sign is the direction
};

}  // namespace orvel::x11
