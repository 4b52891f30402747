// The replies that send the user to fix a missing permission, worded for each platform. macOS
// names the places of its settings; on Linux no such places exist, and on X11 these replies mean
// that the display cannot be reached (DISPLAY unset or refused) or, for posted scroll events, that
// the server offers no synthetic input. One row per reply; the helpers take their column.
#pragma once

namespace orvel::platform {

enum class PermissionReply {
  kScrollScreenRecording,  // scroll helper: pictures are not allowed
  kScrollAccessibility,    // scroll helper: scroll events cannot be posted
  kRegionAccessibility,    // region helper, "prepare": input cannot be intercepted
  kRegionScreenRecording,  // region helper, "capture": pictures are not allowed
};

struct PermissionWording {
  const char* macOS;
  const char* linux;
};

inline constexpr const char* kCannotConnectToDisplay =
    "Cannot connect to the display. Start Orvel inside your desktop session.";

inline constexpr PermissionWording permissionWording(PermissionReply reply) {
  switch (reply) {
    case PermissionReply::kScrollScreenRecording:
    case PermissionReply::kRegionScreenRecording:
      return {"Allow Screen Recording for Orvel in System Settings, then reopen the app.",
              kCannotConnectToDisplay};
    case PermissionReply::kScrollAccessibility:
      return {
          "Automatic scrolling requires Accessibility permission for Orvel. Grant it manually "
          "in System Settings, then reopen the app.",
          "Automatic scrolling cannot send scroll events on this display. Start Orvel inside "
          "a desktop session that allows synthetic input."};
    case PermissionReply::kRegionAccessibility:
      return {
          "Accessibility is required for reliable instant region capture. Allow Orvel in "
          "System Settings \u2192 Privacy & Security \u2192 Accessibility, then reopen the "
          "app.",
          kCannotConnectToDisplay};
  }
  return {"", ""};
}

// The wording of the platform this build runs on.
inline constexpr const char* permissionMessage(PermissionReply reply) {
#if defined(__APPLE__)
  return permissionWording(reply).macOS;
#else
  return permissionWording(reply).linux;
#endif
}

}  // namespace orvel::platform
