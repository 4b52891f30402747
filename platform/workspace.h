// Running applications.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvel::platform {

struct RunningApplication {
  std::int32_t pid = 0;
  std::optional<std::string> bundleID;  // stable application identifier, when it has one
  bool terminated = false;
};

class Workspace {
 public:
  virtual ~Workspace() = default;
  virtual std::optional<RunningApplication> application(std::int32_t pid) = 0;
  virtual std::vector<std::int32_t> pidsWithBundleID(const std::string& bundleID) = 0;
  // Asks the application to come to the front; the result shows later in frontmostPID().
  virtual void activate(std::int32_t pid) = 0;
  virtual std::optional<std::int32_t> frontmostPID() = 0;
};

}  // namespace orvel::platform
