// A snapshot of one accessibility element, as far as the notification reader needs it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "orvel/common/geometry.h"

namespace orvel::scroll {

struct ScrollAXNode {
  std::string role;
  std::optional<std::string> subrole;
  std::optional<Rect> bounds;                         // global display coordinates
  std::optional<std::vector<ScrollAXNode>> children;  // absent when not read
  bool hidden = false;
};

}  // namespace orvel::scroll
