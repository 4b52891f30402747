// An in-memory desktop that implements the ports for tests: displays, windows, applications,
// permissions, keys, screen pictures and overlay panels. Tests arrange a scene, drive input and
// inspect what the helper did; switches make each service fail the way a real one can.
//
// Scene geometry is given in global display coordinates (points, origin at the top-left corner of
// the main display, y down); the first display is the main display.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "orvel/common/json_text.h"
#include "platform/key_state.h"
#include "platform/permissions.h"
#include "platform/screen_capture.h"
#include "platform/screens.h"
#include "platform/window_server.h"
#include "platform/window_shapes.h"
#include "platform/workspace.h"

namespace orvel::sim {

struct SimDisplay {
  std::uint32_t id = 0;
  Rect bounds;  // global display coordinates
  double scale = 1.0;
};

struct SimWindowSpec {
  std::uint32_t id = 0;
  std::int32_t pid = 0;
  Rect bounds;
  std::int64_t layer = 0;
  double alpha = 1.0;
  std::optional<std::string> name;
  bool onscreen = true;
  std::int64_t sharingState = 1;
};

// The colour of the sim picture at pixel (px, py) of a display, counted from the display's
// top-left pixel: every byte depends on the display and the position, so a test can check any
// payload byte. Opaque, BGRA order.
std::uint32_t simPixel(std::uint32_t displayID, int px, int py);

class SimDesktop : public platform::Screens,
                   public platform::Permissions,
                   public platform::KeyState,
                   public platform::WindowServer,
                   public platform::Workspace,
                   public platform::WindowShapes,
                   public platform::ScreenCapture {
 public:
  SimDesktop();

  // ---- scene -------------------------------------------------------------------------------
  void setDisplays(std::vector<SimDisplay> displays);
  std::vector<SimDisplay> displays() const;
  void setScale(std::uint32_t displayID, double scale);
  // Adds a window in front of the others (index 0 is front-most).
  Json& addWindow(const SimWindowSpec& window);
  Json& addWindow(std::uint32_t id, std::int32_t pid, Rect bounds, std::int64_t layer = 0,
                  double alpha = 1.0, std::optional<std::string> name = std::nullopt,
                  bool onscreen = true, std::int64_t sharingState = 1) {
    return addWindow(
        SimWindowSpec{id, pid, bounds, layer, alpha, std::move(name), onscreen, sharingState});
  }
  // The raw list, front to back; tests may put malformed entries in it.
  Json& windowList() { return windows_; }
  Json* window(std::uint32_t id);
  void removeWindow(std::uint32_t id);
  void addApplication(std::int32_t pid, std::optional<std::string> bundleID);
  void terminate(std::int32_t pid);

  // ---- switches ----------------------------------------------------------------------------
  bool screenRecording = true;
  bool postEvents = true;
  bool accessibility = true;
  // The platform's own reply to a refused permission, naming what is missing.
  std::optional<std::string> denial;
  // Why no window list can be read at all; nothing: it can.
  std::optional<std::string> windowListUnreadable;
  std::set<std::uint16_t> keysDown;
  std::optional<std::int32_t> frontmost;
  // The focused window; nothing stands for a platform that does not tell.
  std::optional<std::uint32_t> frontWindow;
  // Whether activate() brings the application and the named window to the front.
  bool activationWorks = true;
  // How long the desktop says an activation may take to show.
  std::chrono::milliseconds activationWait = std::chrono::seconds(1);
  std::vector<std::int32_t> activations;
  std::vector<std::uint32_t> activatedWindows;
  std::int64_t cursorWindowLevel = 2147483630;
  std::int64_t dockWindowLevel = 20;
  // Window shapes by window number; windows without an entry set no shape.
  std::map<std::uint32_t, std::vector<Rect>> shapes;
  // Counts of port calls, for tests and benchmarks.
  int windowListReads = 0;

  // Screen capture failure switches (guarded: captures run on other threads).
  void failShareableContent(std::optional<std::string> description);
  void failCapture(std::optional<std::string> description);
  // Pictures come back at this size instead of the configured one (a display changed mode).
  void overrideCaptureSize(std::optional<std::pair<int, int>> size);
  // While closed, captures wait (on their own thread) until the gate opens.
  void setCaptureGate(bool open);
  int captureCount() const;
  std::vector<platform::ContentFilter> capturedFilters() const;
  // Exclusion holds taken and not yet dropped.
  int exclusionHolds() const { return *holds_; }

  // ---- ports -------------------------------------------------------------------------------
  std::vector<platform::ScreenInfo> screens() override;
  std::optional<Rect> displayBounds(std::uint32_t displayID) override;
  bool screenCaptureAllowed() override { return screenRecording; }
  bool postEventAllowed() override { return postEvents; }
  bool accessibilityTrusted() override { return accessibility; }
  std::optional<std::string> denialReply(platform::PermissionReply) override { return denial; }
  bool isKeyDown(std::uint16_t keyCode) override { return keysDown.count(keyCode) > 0; }
  Json onScreenWindows() override;
  std::optional<std::string> whyUnreadable() override { return windowListUnreadable; }
  std::int64_t cursorLevel() override { return cursorWindowLevel; }
  std::int64_t dockLevel() override { return dockWindowLevel; }
  std::optional<platform::RunningApplication> application(std::int32_t pid) override;
  std::vector<std::int32_t> pidsWithBundleID(const std::string& bundleID) override;
  void activate(std::int32_t pid, std::uint32_t windowID) override;
  std::optional<std::int32_t> frontmostPID() override { return frontmost; }
  std::optional<std::uint32_t> frontmostWindow() override { return frontWindow; }
  std::chrono::milliseconds activationBound() override { return activationWait; }
  std::optional<std::vector<Rect>> contentShape(std::uint32_t windowID) override {
    auto it = shapes.find(windowID);
    if (it == shapes.end()) return std::nullopt;
    return it->second;
  }
  Expected<platform::ShareableContent, platform::PlatformError> shareableContent(
      bool excludeDesktopWindows, bool onScreenWindowsOnly) override;
  Expected<Image, platform::PlatformError> captureImage(
      const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) override;
  std::unique_ptr<platform::ExclusionHold> holdExclusions() override;

 private:
  mutable std::mutex mutex_;  // guards what the capture calls read: displays, apps, windows
  std::condition_variable gateOpened_;
  std::vector<SimDisplay> displays_;
  Json windows_ = Json::array();
  std::map<std::int32_t, platform::RunningApplication> apps_;
  std::optional<std::string> shareableError_;
  std::optional<std::string> captureError_;
  std::optional<std::pair<int, int>> captureSize_;
  bool gateOpen_ = true;
  int captures_ = 0;
  std::vector<platform::ContentFilter> filters_;
  // Shared with the holds, so that one dropped after the desktop harms nothing.
  std::shared_ptr<std::atomic<int>> holds_ = std::make_shared<std::atomic<int>>(0);
};

}  // namespace orvel::sim
