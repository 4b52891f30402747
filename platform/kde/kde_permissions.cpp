#include "platform/kde/kde_permissions.h"

namespace orvel::kde {

std::optional<std::string> KdePermissions::denialReply(platform::PermissionReply reply) {
  const bool pictures = reply == platform::PermissionReply::kScrollScreenRecording ||
                        reply == platform::PermissionReply::kRegionScreenRecording;
  if (pictures && !refusal_.empty() && connection_.ok()) return refusal_;
  return std::nullopt;
}

}  // namespace orvel::kde
