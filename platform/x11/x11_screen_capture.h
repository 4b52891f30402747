// The ScreenCapture port on X11: XShm grabs of the root window (GetImage where shared memory cannot
// be attached), converted to opaque BGRA. A filter's excluded windows never appear: when one of
// them overlaps the captured area, the area is composed from the other windows' contents instead
// (see WindowComposer); without Composite and Render their rectangles are left black. Windows are
// redirected only while an exclusion hold lives, or for the one picture that needs it otherwise.
//
// Any thread: calls are serialised on a connection of the capture's own, so they never wait behind
// the main thread's requests or steal its events. Areas outside the root are transparent.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "platform/screen_capture.h"
#include "platform/x11/monitor_layout.h"
#include "platform/x11/pixel_format.h"
#include "platform/x11/shm_segment.h"
#include "platform/x11/window_composer.h"
#include "platform/x11/window_list_cache.h"

namespace orvel::x11 {

class X11ScreenCapture final : public platform::ScreenCapture {
 public:
  // How long after windows are redirected a picture waits for their clients' repaints.
  static constexpr std::chrono::milliseconds kRepaintBudget{1000};

  // Opens a connection to `display` (null: $DISPLAY). Window lists come from `windows` when given.
  explicit X11ScreenCapture(const char* display, WindowListCache* windows = nullptr,
                            std::chrono::milliseconds repaintBudget = kRepaintBudget);
  ~X11ScreenCapture() override;

  Expected<platform::ShareableContent, platform::PlatformError> shareableContent(
      bool excludeDesktopWindows, bool onScreenWindowsOnly) override;
  Expected<Image, platform::PlatformError> captureImage(
      const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) override;
  // Redirects the windows while any hold lives.
  std::unique_ptr<platform::ExclusionHold> holdExclusions() override;

  // Round trips made so far on the capture connection.
  std::uint64_t roundTrips();

 private:
  // Copies `area` of `drawable` (root coordinates for the root, else from 0,0) into `image` at
  // (dx, dy). False when the server refused.
  bool grab(xcb_drawable_t drawable, const PixelRect& area, int sourceX, int sourceY, Image& image,
            int dx, int dy);
  void dropEvents();
  friend class X11ExclusionHold;
  void hold();
  void release();

  std::mutex mutex_;
  std::unique_ptr<X11Connection> connection_;
  std::unique_ptr<ShmSegment> segment_;
  std::unique_ptr<WindowComposer> composer_;
  PixelFormat format_;
  WindowListCache* windows_;
  int holds_ = 0;
};

}  // namespace orvel::x11
