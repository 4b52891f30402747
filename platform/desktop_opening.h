// What a backend's row of the helpers' backend table answers: its desktop, or why it declined (a
// phrase for the log, such as "no display answers at DISPLAY").
#pragma once

#include <memory>
#include <string>

#include "orvel/common/expected.h"

namespace orvel::platform {

template <class Desktop>
using DesktopOpening = Expected<std::unique_ptr<Desktop>, std::string>;

}  // namespace orvel::platform
