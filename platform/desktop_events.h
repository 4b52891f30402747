// What a desktop backend tells the helper beyond its ports' answers. Register listeners on the
// loop thread that opened the desktop, before the loop runs and before the shield is installed.
#pragma once

#include <functional>

namespace orvel::platform {

class DesktopEvents {
 public:
  using Listener = std::function<void()>;
  virtual ~DesktopEvents() = default;
  // Once, on the loop thread, when the display server went away. From then on the desktop's ports
  // answer as if no display had been there at start.
  virtual void onDisplayLost(Listener listener) = 0;
  // On the input shield's thread (where its handler runs): another client holds the pointer or
  // keyboard that the shield asked for, so the input a capture waits for cannot come.
  virtual void onInputTaken(Listener listener) = 0;
  // On the loop thread, whenever a display may have been added or removed, possibly more than once
  // for one change: a capture under way compares the displays with those it started on. A desktop
  // that cannot tell never calls it, and the capture finds out at its next step.
  virtual void onDisplaysChanged(Listener listener) { (void)listener; }
};

}  // namespace orvel::platform
