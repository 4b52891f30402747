// A failure that reaches the user as its description: the helper's own message, or a service's
// description of what went wrong, passed on unchanged. The one error type of the helpers and the
// ports; operations that must tell failures apart carry their own (FileReplacementError).
#pragma once

#include <string>

#include "orvel/common/expected.h"

namespace orvel {

struct Failure {
  std::string description;
  friend bool operator==(const Failure&, const Failure&) = default;
};

inline Unexpected<Failure> failed(std::string description) {
  return {Failure{std::move(description)}};
}

}  // namespace orvel
