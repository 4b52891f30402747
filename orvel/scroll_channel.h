// What a scrolling capture asks of scroll-capture-helper, one call per protocol command; the
// process behind it is ScrollHelperChannel, tests script a fake. One thread at a time.
#pragma once

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/image.h"

namespace orvel::cli {

class ScrollChannel {
 public:
  virtual ~ScrollChannel() = default;
  // The user's drag over a scrolling view: true once selected, false when canceled.
  virtual Expected<bool, Failure> select() = 0;
  // A frame of the selected region, in the region's pixels.
  virtual Expected<Image, Failure> capture() = 0;
  // Scrolls the view by `fraction` of the region's height (down when positive).
  virtual Expected<void, Failure> scroll(double fraction) = 0;
};

}  // namespace orvel::cli
