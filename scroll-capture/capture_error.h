#pragma once

#include <string>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"

namespace orvel::scroll {

// A failure that ends the current command; only its description reaches the host.
using CaptureError = Failure;

inline Unexpected<CaptureError> fail(std::string message) {
  return failed(std::move(message));
}

template <class T = void>
using Outcome = Expected<T, CaptureError>;

}  // namespace orvel::scroll
