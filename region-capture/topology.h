// A comparable description of the display arrangement: one string per screen with its display
// id, bounds and backing scale, sorted so the order of the screen list does not matter.
#pragma once

#include <string>
#include <vector>

#include "platform/screens.h"

namespace orvel::region {

using Topology = std::vector<std::string>;

Topology topology(platform::Screens& screens);

}  // namespace orvel::region
