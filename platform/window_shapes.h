// The shapes of other applications' windows, where the window system lets a window be other than
// its rectangle (the X Shape extension). Called on the loop thread.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "orvel/common/geometry.h"

namespace orvel::platform {

class WindowShapes {
 public:
  virtual ~WindowShapes() = default;
  // What window `windowID` (a number of the window list) both draws and takes clicks on, as
  // rectangles in global display coordinates; nothing when the window sets no shape, is gone, or
  // cannot be read. An empty list: the window draws nothing that takes clicks.
  virtual std::optional<std::vector<Rect>> contentShape(std::uint32_t windowID) = 0;
};

}  // namespace orvel::platform
