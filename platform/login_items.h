// The login item of the application that runs this process: whether the desktop session opens it
// when the user logs in, and the two changes the user can ask for. Implementations keep no state;
// every call asks the system afresh, so any thread may call.
#pragma once

#include <optional>
#include <string>

#include "orvel/common/failure.h"

namespace orvel::platform {

// Numbered as the host application sees them.
enum class LoginItemStatus : int {
  kNotRegistered = 0,
  // Registered, and the session will open the application at login.
  kEnabled = 1,
  // Registered, but the user has turned it off or must still approve it.
  kRequiresApproval = 2,
  // There is no application to register (its executable cannot be identified).
  kNotFound = 3,
};

using LoginItemError = Failure;

class LoginItems {
 public:
  virtual ~LoginItems() = default;

  virtual LoginItemStatus status() const = 0;
  // Each returns the failure, or nothing on success.
  virtual std::optional<LoginItemError> registerItem() = 0;
  virtual std::optional<LoginItemError> unregisterItem() = 0;
};

}  // namespace orvel::platform
