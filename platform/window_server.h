// The window server's list of windows. Called on the loop thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "orvel/common/json_text.h"

namespace orvel::platform {

// Keys of a window dictionary. Values may be missing or of another type; readers check.
inline constexpr const char* kCGWindowNumber = "kCGWindowNumber";
inline constexpr const char* kCGWindowOwnerPID = "kCGWindowOwnerPID";
inline constexpr const char* kCGWindowBounds = "kCGWindowBounds";  // {"X","Y","Width","Height"}
inline constexpr const char* kCGWindowLayer = "kCGWindowLayer";
inline constexpr const char* kCGWindowAlpha = "kCGWindowAlpha";
inline constexpr const char* kCGWindowIsOnscreen = "kCGWindowIsOnscreen";
inline constexpr const char* kCGWindowSharingState = "kCGWindowSharingState";
inline constexpr const char* kCGWindowName = "kCGWindowName";

class WindowServer {
 public:
  virtual ~WindowServer() = default;
  // The on-screen windows without desktop elements, front-most first: normally an array of window
  // dictionaries. Anything else (null, an object) stands for a list that could not be read.
  virtual Json onScreenWindows() = 0;
  // Why no window list can be read at all (the service that gives it does not answer), as the
  // reply to a selection; nothing when it can be, or when a failed read is all there is to tell.
  virtual std::optional<std::string> whyUnreadable() { return std::nullopt; }
  // Window levels of the cursor and of the Dock.
  virtual std::int64_t cursorLevel() = 0;
  virtual std::int64_t dockLevel() = 0;
};

}  // namespace orvel::platform
