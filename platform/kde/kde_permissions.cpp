#include "platform/kde/kde_permissions.h"

#include <filesystem>

namespace orvel::kde {

std::optional<std::string> KdePermissions::denialReply(platform::PermissionReply reply) {
  const bool pictures = reply == platform::PermissionReply::kScrollScreenRecording ||
                        reply == platform::PermissionReply::kRegionScreenRecording;
  if (!connection_.ok()) return std::nullopt;
  if (pictures && !refusal_.empty()) return refusal_;
  if (reply == platform::PermissionReply::kScrollAccessibility && !inputRefusal_.empty())
    return inputRefusal_;
  return std::nullopt;
}

std::string noFakeInputMessage(const std::string& program) {
  const std::string name = std::filesystem::path(program).filename().string();
  return "KDE Plasma gave no scroll events to " + program +
         ": KWin offers org_kde_kwin_fake_input only to installed programs whose desktop entry it "
         "read when it started. Install Orvel's helpers (cmake --install or the orvel-helpers "
         "package) so that share/applications/orvel-" +
         name + ".desktop names the installed " + name + ", run kbuildsycoca5 and log in again.";
}

}  // namespace orvel::kde
