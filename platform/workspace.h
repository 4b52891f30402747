// Running applications. Called on the loop thread.
#pragma once

#include <chrono>
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
  // Asks for window `windowID` (a number of the window list) of application `pid` to come to the
  // front; where windows cannot be named, the application comes forward as a whole. The result
  // shows later in frontmostPID() and frontmostWindow().
  virtual void activate(std::int32_t pid, std::uint32_t windowID) = 0;
  virtual std::optional<std::int32_t> frontmostPID() = 0;
  // The window that has the focus, where the platform tells which (a number of the window list);
  // nothing where it does not, or when no window has it.
  virtual std::optional<std::uint32_t> frontmostWindow() { return std::nullopt; }
  // How long an activation may take to show in frontmostPID() before it counts as refused. One
  // second where the display server answers itself; longer where a compositor script has to run
  // and report the focus back over the session bus, which takes seconds on a busy machine.
  virtual std::chrono::milliseconds activationBound() { return std::chrono::seconds(1); }
};

}  // namespace orvel::platform
