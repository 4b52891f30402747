// The Permissions port on wlroots compositors. Nothing asks the user: pictures are allowed while
// the compositor offers screencopy, and input (the layer-surface shield) while it offers layer
// surfaces and a seat. A compositor that goes away later fails the capture itself.
#pragma once

#include "platform/permissions.h"

namespace orvel::wayland {

class WaylandPermissions final : public platform::Permissions {
 public:
  WaylandPermissions(bool pictures, bool input) : pictures_(pictures), input_(input) {}
  bool screenCaptureAllowed() override { return pictures_; }
  bool postEventAllowed() override { return input_; }
  bool accessibilityTrusted() override { return true; }

 private:
  bool pictures_;
  bool input_;
};

}  // namespace orvel::wayland
