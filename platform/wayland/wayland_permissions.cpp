#include "platform/wayland/wayland_permissions.h"

namespace orvel::wayland {

WaylandPermissions::WaylandPermissions(std::vector<std::string> missingForPictures,
                                       std::vector<std::string> missingForInput)
    : pictures_(missingForPictures.empty()),
      input_(missingForInput.empty()),
      missingForPictures_(std::move(missingForPictures)),
      missingForInput_(std::move(missingForInput)) {}

WaylandPermissions WaylandPermissions::lacking(std::vector<std::string> forPictures,
                                               std::vector<std::string> forInput) {
  return WaylandPermissions(std::move(forPictures), std::move(forInput));
}

WaylandPermissions WaylandPermissions::forScrolling(const WaylandConnection& connection,
                                                    bool virtualPointers) {
  std::vector<std::string> pictures, input;
  if (!connection.screencopy()) pictures.push_back(zwlr_screencopy_manager_v1_interface.name);
  if (!connection.shm()) pictures.push_back(wl_shm_interface.name);
  if (!virtualPointers) input.push_back("zwlr_virtual_pointer_manager_v1");
  if (!connection.seat()) input.push_back(wl_seat_interface.name);
  return WaylandPermissions(std::move(pictures), std::move(input));
}

std::optional<std::string> WaylandPermissions::denialReply(platform::PermissionReply reply) {
  const bool pictures = reply == platform::PermissionReply::kScrollScreenRecording ||
                        reply == platform::PermissionReply::kRegionScreenRecording;
  return missingProtocolsReply(reply, pictures ? missingForPictures_ : missingForInput_);
}

std::optional<std::string> missingProtocolsReply(platform::PermissionReply reply,
                                                 const std::vector<std::string>& missing) {
  if (missing.empty()) return std::nullopt;
  std::string list;
  for (const auto& name : missing)
    list += (list.empty() ? "" : " or ") + name;
  std::string what;
  switch (reply) {
    case platform::PermissionReply::kScrollScreenRecording:
    case platform::PermissionReply::kRegionScreenRecording:
      what = "Screen pictures cannot be taken";
      break;
    case platform::PermissionReply::kScrollAccessibility:
      what = "Automatic scrolling cannot send scroll events";
      break;
    case platform::PermissionReply::kRegionAccessibility:
      what = "Input cannot be intercepted";
      break;
  }
  return what + ": the Wayland compositor offers no " + list +
         ". Start Orvel in a wlroots session such as sway.";
}

}  // namespace orvel::wayland
