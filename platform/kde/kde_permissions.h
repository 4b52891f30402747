// The Permissions port on KDE Plasma. KWin asks no one: it gives pictures to programs an installed
// desktop entry names, which the desktop learns once when it opens (one tiny picture); a refused
// helper's picture replies carry KWin's refusal, which names the entry to install. Intercepting
// input (layer surfaces and a seat) is open to every client; sending it (fake input) only to a
// program whose entry KWin read when it started, and a refused helper's scroll replies say so.
// Nothing is allowed once the compositor went away.
// Loop thread only.
#pragma once

#include <optional>
#include <string>

#include "platform/permissions.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::kde {

class KdePermissions final : public platform::Permissions {
 public:
  // `refusal`: KWin's refusal of pictures, empty when it gives them; `inputRefusal` the same for
  // sending input. `connection` must outlive this object.
  KdePermissions(std::string refusal, wayland::WaylandConnection& connection,
                 std::string inputRefusal = {})
      : refusal_(std::move(refusal)),
        inputRefusal_(std::move(inputRefusal)),
        connection_(connection) {}

  bool screenCaptureAllowed() override { return refusal_.empty() && connection_.ok(); }
  bool postEventAllowed() override { return inputRefusal_.empty() && connection_.ok(); }
  bool accessibilityTrusted() override { return true; }
  std::optional<std::string> denialReply(platform::PermissionReply reply) override;

 private:
  std::string refusal_;
  std::string inputRefusal_;
  wayland::WaylandConnection& connection_;
};

// What a program that KWin gave no fake input is told: the entry to install, which must name
// `program` (an absolute path), and the new login after which KWin reads it.
std::string noFakeInputMessage(const std::string& program);

}  // namespace orvel::kde
