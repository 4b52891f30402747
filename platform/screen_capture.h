// Screen pictures. Both calls block until the service answers and may be called from any thread;
// the helpers call them off the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvel/common/expected.h"
#include "orvel/common/geometry.h"
#include "orvel/common/image.h"
#include "platform/platform_error.h"

namespace orvel::platform {

struct ShareableDisplay {
  std::uint32_t displayID = 0;
  Rect frame;  // global display coordinates
};

struct ShareableApplication {
  std::int32_t pid = 0;
  std::optional<std::string> bundleID;
};

struct ShareableWindow {
  std::uint32_t windowID = 0;
  std::optional<std::int32_t> ownerPID;  // absent when the window has no owning application
  Rect frame;
  bool onScreen = true;
};

struct ShareableContent {
  std::vector<ShareableDisplay> displays;
  std::vector<ShareableWindow> windows;
  std::vector<ShareableApplication> applications;
};

// One display, minus some windows and the windows of some applications.
struct ContentFilter {
  std::uint32_t displayID = 0;
  std::vector<std::uint32_t> excludedWindows;
  std::vector<std::int32_t> excludedApplications;
  friend bool operator==(const ContentFilter&, const ContentFilter&) = default;
};

inline constexpr std::uint32_t kPixelFormatBGRA = 0x42475241;  // 'BGRA'

struct CaptureConfiguration {
  // Area of the display to capture, in points relative to the display's top-left corner; absent
  // for the whole display.
  std::optional<Rect> sourceRect;
  int width = 0;  // output size in pixels; the source is scaled to fill it
  int height = 0;
  bool showsCursor = false;
  std::uint32_t pixelFormat = kPixelFormatBGRA;
  int captureResolution = 1;  // best
  friend bool operator==(const CaptureConfiguration&, const CaptureConfiguration&) = default;
};

// Kept by whoever will soon ask for pictures that leave windows out (a capture session, a scroll
// target), so that a backend that must prepare such pictures ahead of time does so only while
// someone holds one. Dropped on the thread that took it, before its ScreenCapture goes.
class ExclusionHold {
 public:
  virtual ~ExclusionHold() = default;
};

class ScreenCapture {
 public:
  virtual ~ScreenCapture() = default;
  // Declares that captures with excluded windows may follow until the hold is dropped. Taking it
  // early (before the caller's own windows appear) lets the backend make those pictures exact.
  // Never null; a backend with nothing to prepare returns an empty hold.
  virtual std::unique_ptr<ExclusionHold> holdExclusions() {
    return std::make_unique<ExclusionHold>();
  }
  virtual Expected<ShareableContent, PlatformError> shareableContent(bool excludeDesktopWindows,
                                                                     bool onScreenWindowsOnly) = 0;
  // One picture, premultiplied BGRA. Its size is the configured size unless the display changed.
  virtual Expected<Image, PlatformError> captureImage(const ContentFilter& filter,
                                                      const CaptureConfiguration& config) = 0;
};

}  // namespace orvel::platform
