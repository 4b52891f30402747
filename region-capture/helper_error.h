// The error value of the region-capture helper. Only `description` ever reaches the host: the
// helper's own message, or a platform service's own description.
#pragma once

#include <string>

#include "platform/platform_error.h"

namespace orvel::region {

inline constexpr const char* kCaptureErrorDomain = "Orvel.Capture";

struct HelperError {
  std::string domain;
  int code = 0;
  std::string description;
  friend bool operator==(const HelperError&, const HelperError&) = default;
};

inline HelperError failure(std::string message) {
  return {kCaptureErrorDomain, 1, std::move(message)};
}

inline HelperError fromPlatform(const platform::PlatformError& error) {
  return {"platform", 0, error.description};
}

}  // namespace orvel::region
