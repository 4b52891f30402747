#pragma once

#include <optional>
#include <string>

#include "platform/permission_messages.h"

namespace orvel::platform {

// What the user has allowed this process to do. Each query is a preflight: it never prompts.
// Called on the loop thread.
class Permissions {
 public:
  virtual ~Permissions() = default;
  virtual bool screenCaptureAllowed() = 0;
  virtual bool postEventAllowed() = 0;
  virtual bool accessibilityTrusted() = 0;
  // The reply to give when a query above answered false, where this platform can name what is
  // missing; nothing: the helper's usual reply.
  virtual std::optional<std::string> denialReply(PermissionReply) { return std::nullopt; }
};

}  // namespace orvel::platform
