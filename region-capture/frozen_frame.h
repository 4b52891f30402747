// One display's frozen picture with the place it had on the desktop.
#pragma once

#include <memory>

#include "orvel/common/geometry.h"
#include "orvel/common/image.h"

namespace orvel::region {

struct FrozenFrame {
  Rect bounds;  // points, global display coordinates
  double scale = 1;
  std::shared_ptr<const Image> image;
};

}  // namespace orvel::region
