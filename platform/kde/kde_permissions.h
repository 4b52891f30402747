// The Permissions port on KDE Plasma. KWin asks no one: it gives pictures to programs an installed
// desktop entry names, which the desktop learns once when it opens (one tiny picture); a refused
// helper's picture replies carry KWin's refusal, which names the entry to install. Input (layer
// surfaces and a seat) is open to every client. Nothing is allowed once the compositor went away.
// Loop thread only.
#pragma once

#include <optional>
#include <string>

#include "platform/permissions.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::kde {

class KdePermissions final : public platform::Permissions {
 public:
  // `refusal`: KWin's refusal of pictures, empty when it gives them. `connection` must outlive
  // this object.
  KdePermissions(std::string refusal, wayland::WaylandConnection& connection)
      : refusal_(std::move(refusal)), connection_(connection) {}

  bool screenCaptureAllowed() override { return refusal_.empty() && connection_.ok(); }
  bool postEventAllowed() override { return connection_.ok(); }
  bool accessibilityTrusted() override { return true; }
  std::optional<std::string> denialReply(platform::PermissionReply reply) override;

 private:
  std::string refusal_;
  wayland::WaylandConnection& connection_;
};

}  // namespace orvel::kde
