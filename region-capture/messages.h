// Every message the region-capture helper shows the user (through the host), defined once.
#pragma once

#include "platform/permission_messages.h"

namespace orvel::region {

inline constexpr const char* kAccessibilityRequired =
    platform::permissionMessage(platform::PermissionReply::kRegionAccessibility);
inline constexpr const char* kScreenRecordingRequired =
    platform::permissionMessage(platform::PermissionReply::kRegionScreenRecording);
inline constexpr const char* kDisplayConfigurationChanged =
    "Display configuration changed. Retry Capture.";
inline constexpr const char* kCannotExcludeCaptureWindows =
    "Cannot exclude capture windows. Retry Capture.";
inline constexpr const char* kNoDisplaysAvailable = "No displays available.";
inline constexpr const char* kDisplayExceedsLimits = "Display exceeds capture limits.";
inline constexpr const char* kDisplayScalingChanged = "Display scaling changed. Retry Capture.";
inline constexpr const char* kSelectSmallerRegion =
    "Select a smaller region (maximum 50 megapixels).";
inline constexpr const char* kCannotAllocatePixels = "Cannot allocate capture pixels.";
inline constexpr const char* kCannotCropFrozenScreen = "Cannot crop frozen screen.";
inline constexpr const char* kCannotExportCapture = "Cannot export capture.";
inline constexpr const char* kCannotSavePixels = "Cannot save capture pixels.";
// Another application holds the pointer or the keyboard and did not let go within half a second.
inline constexpr const char* kInputUnavailable =
    "Another application is holding the pointer or keyboard. Retry Capture.";

inline constexpr const char* kInstruction = "Drag a region to capture. Escape cancels.";

}  // namespace orvel::region
