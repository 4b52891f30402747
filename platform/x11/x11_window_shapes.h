// The WindowShapes port on X11: the Shape extension's bounding region intersected with its input
// region, both read on the listed (client) window and placed at its origin on the root, in global
// points. A window that sets neither region has no shape. Loop thread only (main connection).
#pragma once

#include "platform/window_shapes.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_screens.h"

namespace orvel::x11 {

class X11WindowShapes final : public platform::WindowShapes {
 public:
  X11WindowShapes(X11Connection& connection, X11Screens& screens);
  std::optional<std::vector<Rect>> contentShape(std::uint32_t windowID) override;

 private:
  X11Connection& connection_;
  X11Screens& screens_;
  bool available_ = false;
};

}  // namespace orvel::x11
