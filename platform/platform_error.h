#pragma once

#include <string>

namespace orvel::platform {

// A failure reported by an operating-system service, carrying the service's own description, which
// the helpers pass to the host unchanged.
struct PlatformError {
  std::string description;
};

}  // namespace orvel::platform
