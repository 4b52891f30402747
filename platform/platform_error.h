#pragma once

#include "orvel/common/failure.h"

namespace orvel::platform {

// A failure reported by an operating-system service, carrying the service's own description, which
// the helpers pass to the host unchanged.
using PlatformError = Failure;

}  // namespace orvel::platform
