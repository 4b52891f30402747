// Every message the scroll-capture helper can return to the host.
#pragma once

#include "platform/permission_messages.h"

namespace orvel::scroll::msg {

inline constexpr const char* kInvalidCommand = "Invalid command.";
inline constexpr const char* kUnknownCommand = "Unknown command.";
inline constexpr const char* kAllowScreenRecording =
    platform::permissionMessage(platform::PermissionReply::kScrollScreenRecording);
inline constexpr const char* kNeedAccessibility =
    platform::permissionMessage(platform::PermissionReply::kScrollAccessibility);
inline constexpr const char* kRegionTooSmall = "Select a region at least 64 × 100 points.";
inline constexpr const char* kRegionNotOnOneDisplay =
    "Select a region entirely inside one display.";
inline constexpr const char* kRegionNotInWindow =
    "Select scrolling content entirely inside a visible application window.";
inline constexpr const char* kCannotIdentifyTarget =
    "Cannot identify the selected target application.";
inline constexpr const char* kDisplayUnavailable = "The selected display is unavailable.";
inline constexpr const char* kRegionTooLarge =
    "Select a smaller region (maximum 8 megapixels per frame).";
inline constexpr const char* kSelectTargetFirst = "Select a target first.";
inline constexpr const char* kScalingChanged = "Display scaling changed; capture stopped.";
inline constexpr const char* kCannotAllocatePixels = "Cannot allocate capture pixels.";
inline constexpr const char* kTargetClosed = "Target application closed; capture stopped.";
inline constexpr const char* kCannotActivate =
    "Cannot activate the selected target. Activate it and retry.";
inline constexpr const char* kPermissionUnavailable =
    "Capture/Accessibility permission is unavailable.";
inline constexpr const char* kEscapePressed = "Escape pressed; capture stopped.";
inline constexpr const char* kTargetMoved =
    "Target window moved, resized or closed; capture stopped.";
inline constexpr const char* kTargetLostFocus = "Target lost focus; capture stopped.";
inline constexpr const char* kRegionCovered =
    "Another window covers the capture region; capture stopped.";
inline constexpr const char* kTargetContentChanged =
    "Target window content changed; capture stopped. Keep the selected page open.";
inline constexpr const char* kCannotCreateScrollEvents = "Cannot create scroll events.";

inline constexpr const char* kSelectInstruction =
    "Drag inside the scrolling content. Exclude toolbars/scrollbars. Escape cancels.";
inline constexpr const char* kRegionInstruction = "Drag a region to capture. Escape cancels.";

}  // namespace orvel::scroll::msg
