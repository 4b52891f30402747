// One request line from the host, read the forgiving way the protocol allows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "orvel/common/json_text.h"

namespace orvel::region {

struct Request {
  std::int64_t id = 0;
  std::optional<std::string> command;
  std::optional<std::string> path;
};

// "id" as a whole number (a fraction truncated, out-of-range values clamped), 0 when it is missing
// or not a number; "command" and "path" only when they are strings.
Request readRequest(const Json& object);

}  // namespace orvel::region
