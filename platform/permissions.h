#pragma once

namespace orvel::platform {

// What the user has allowed this process to do. Each query is a preflight: it never prompts.
class Permissions {
 public:
  virtual ~Permissions() = default;
  virtual bool screenCaptureAllowed() = 0;
  virtual bool postEventAllowed() = 0;
  virtual bool accessibilityTrusted() = 0;
};

}  // namespace orvel::platform
