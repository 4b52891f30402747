// The Permissions port on wlroots compositors. Nothing asks the user: pictures are allowed while
// the compositor offers screencopy, and input (the layer-surface shield, or posted wheel events)
// while it offers what that needs. Given a connection, nothing is allowed once it has failed (the
// compositor went away), so that no command waits for input that can no longer come; without one,
// a compositor that goes away later fails the capture itself.
#pragma once

#include "platform/permissions.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::wayland {

class WaylandPermissions final : public platform::Permissions {
 public:
  WaylandPermissions(bool pictures, bool input, WaylandConnection* connection = nullptr)
      : pictures_(pictures), input_(input), connection_(connection) {}
  bool screenCaptureAllowed() override { return pictures_ && reachable(); }
  bool postEventAllowed() override { return input_ && reachable(); }
  bool accessibilityTrusted() override { return true; }

 private:
  bool reachable() { return !connection_ || connection_->ok(); }
  bool pictures_;
  bool input_;
  WaylandConnection* connection_;
};

}  // namespace orvel::wayland
