#pragma once

#include <string>

#include "orvel/common/expected.h"

namespace orvel::scroll {

// A failure that ends the current command; only its message reaches the host.
struct CaptureError {
  std::string message;
  friend bool operator==(const CaptureError&, const CaptureError&) = default;
};

inline Unexpected<CaptureError> fail(std::string message) {
  return {CaptureError{std::move(message)}};
}

template <class T = void>
using Outcome = Expected<T, CaptureError>;

}  // namespace orvel::scroll
