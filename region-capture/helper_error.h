// The error value of the region-capture helper: the helper's own message, or a platform service's
// own description; either reaches the host as it is.
#pragma once

#include <string>

#include "orvel/common/failure.h"

namespace orvel::region {

using HelperError = Failure;

inline HelperError failure(std::string message) {
  return {std::move(message)};
}

}  // namespace orvel::region
