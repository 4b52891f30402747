// The Permissions port on wlroots compositors. Nothing asks the user: pictures are allowed while
// the compositor offers what takes them, and input while it offers what makes or intercepts it.
// When something is missing, the reply names the protocols the compositor lacks. A compositor that
// goes away later fails the capture itself; once told to, nothing is allowed after the connection
// failed, so that no command waits for input that can no longer come.
#pragma once

#include <string>
#include <vector>

#include "platform/permissions.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::wayland {

class WaylandPermissions final : public platform::Permissions {
 public:
  // The compositor's word on each, with nothing named.
  WaylandPermissions(bool pictures, bool input) : pictures_(pictures), input_(input) {}
  // The names of the protocols lacking for each; none means allowed.
  static WaylandPermissions lacking(std::vector<std::string> forPictures,
                                    std::vector<std::string> forInput);
  // The scroll helper's: pictures need screencopy and shared memory, scroll events a virtual
  // pointer manager (`virtualPointers`: the compositor offers one) and a seat.
  static WaylandPermissions forScrolling(const WaylandConnection& connection, bool virtualPointers);

  // From now on nothing is allowed once `connection` has failed; it must outlive this object.
  void allowWhileReachable(WaylandConnection& connection) { connection_ = &connection; }

  bool screenCaptureAllowed() override { return pictures_ && reachable(); }
  bool postEventAllowed() override { return input_ && reachable(); }
  bool accessibilityTrusted() override { return true; }
  std::optional<std::string> denialReply(platform::PermissionReply reply) override;

 private:
  WaylandPermissions(std::vector<std::string> missingForPictures,
                     std::vector<std::string> missingForInput);
  bool reachable() { return !connection_ || connection_->ok(); }
  bool pictures_;
  bool input_;
  std::vector<std::string> missingForPictures_;
  std::vector<std::string> missingForInput_;
  WaylandConnection* connection_ = nullptr;
};

// The reply that names the missing protocols for `reply`; nothing when none is named.
std::optional<std::string> missingProtocolsReply(platform::PermissionReply reply,
                                                 const std::vector<std::string>& missing);

}  // namespace orvel::wayland
