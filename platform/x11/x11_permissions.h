// The Permissions port on X11. X has no per-application consent: pictures are allowed while the
// display is reachable, posted events while XTest is present too, and accessibility is trusted
// (nothing on X11 asks for it).
#pragma once

#include "platform/permissions.h"
#include "platform/x11/x11_connection.h"

namespace orvel::x11 {

class X11Permissions final : public platform::Permissions {
 public:
  // `connection` may be null: the display could not be opened.
  explicit X11Permissions(X11Connection* connection) : connection_(connection) {}
  bool screenCaptureAllowed() override { return connection_ && connection_->ok(); }
  bool postEventAllowed() override {
    return screenCaptureAllowed() && connection_->extensions().xtest;
  }
  bool accessibilityTrusted() override { return true; }

 private:
  X11Connection* connection_;
};

}  // namespace orvel::x11
