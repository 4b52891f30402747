// Screens whose list is read from the server at every call. An instant capture compares the
// display arrangement at three moments (overlay up, pictures taken, export), and a monitor change
// must show in the next comparison even when its RandR notice is still on its way. Display bounds
// come from the list read by the latest screens() call. Main thread only.
#pragma once

#include "platform/x11/x11_screens.h"

namespace orvel::x11 {

class X11FreshScreens final : public platform::Screens {
 public:
  explicit X11FreshScreens(X11Screens& screens) : screens_(screens) {}
  std::vector<platform::ScreenInfo> screens() override {
    screens_.invalidate();
    return screens_.screens();
  }
  std::optional<Rect> displayBounds(std::uint32_t displayID) override {
    return screens_.displayBounds(displayID);
  }

 private:
  X11Screens& screens_;
};

}  // namespace orvel::x11
