#include "platform/sim/sim_desktop.h"

#include <algorithm>
#include <cmath>

namespace orvel::sim {

std::uint32_t simPixel(std::uint32_t displayID, int px, int py) {
  const std::uint32_t b = static_cast<std::uint32_t>(px) & 0xff;
  const std::uint32_t g = static_cast<std::uint32_t>(py) & 0xff;
  const std::uint32_t r = ((static_cast<std::uint32_t>(px) >> 8) * 16 +
                           (static_cast<std::uint32_t>(py) >> 8) + displayID * 97) &
                          0xff;
  return b | (g << 8) | (r << 16) | 0xff000000u;
}

SimDesktop::SimDesktop() {
  displays_ = {{1, {0, 0, 1440, 900}, 1.0}};
}

void SimDesktop::setDisplays(std::vector<SimDisplay> displays) {
  std::lock_guard lock(mutex_);
  displays_ = std::move(displays);
}

std::vector<SimDisplay> SimDesktop::displays() const {
  std::lock_guard lock(mutex_);
  return displays_;
}

void SimDesktop::setScale(std::uint32_t displayID, double scale) {
  std::lock_guard lock(mutex_);
  for (auto& d : displays_) {
    if (d.id == displayID) d.scale = scale;
  }
}

Json& SimDesktop::addWindow(const SimWindowSpec& window) {
  Json w = {
      {platform::kCGWindowNumber, window.id},
      {platform::kCGWindowOwnerPID, window.pid},
      {platform::kCGWindowBounds,
       {{"X", window.bounds.x},
        {"Y", window.bounds.y},
        {"Width", window.bounds.width},
        {"Height", window.bounds.height}}},
      {platform::kCGWindowLayer, window.layer},
      {platform::kCGWindowAlpha, window.alpha},
      {platform::kCGWindowIsOnscreen, window.onscreen},
      {platform::kCGWindowSharingState, window.sharingState},
  };
  if (window.name) w[platform::kCGWindowName] = *window.name;
  std::lock_guard lock(mutex_);
  windows_.insert(windows_.begin(), std::move(w));
  return windows_[0];
}

Json* SimDesktop::window(std::uint32_t id) {
  for (auto& w : windows_) {
    auto it = w.find(platform::kCGWindowNumber);
    if (it != w.end() && it->is_number() && it->get<std::uint32_t>() == id) return &w;
  }
  return nullptr;
}

void SimDesktop::removeWindow(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  auto& list = windows_;
  for (auto it = list.begin(); it != list.end(); ++it) {
    auto n = it->find(platform::kCGWindowNumber);
    if (n != it->end() && n->is_number() && n->get<std::uint32_t>() == id) {
      list.erase(it);
      return;
    }
  }
}

void SimDesktop::addApplication(std::int32_t pid, std::optional<std::string> bundleID) {
  std::lock_guard lock(mutex_);
  apps_[pid] = {pid, std::move(bundleID), false};
}

void SimDesktop::terminate(std::int32_t pid) {
  std::lock_guard lock(mutex_);
  auto it = apps_.find(pid);
  if (it != apps_.end()) it->second.terminated = true;
  if (frontmost == pid) {
    frontmost.reset();
    frontWindow.reset();
  }
}

void SimDesktop::failShareableContent(std::optional<std::string> description) {
  std::lock_guard lock(mutex_);
  shareableError_ = std::move(description);
}

void SimDesktop::failCapture(std::optional<std::string> description) {
  std::lock_guard lock(mutex_);
  captureError_ = std::move(description);
}

void SimDesktop::overrideCaptureSize(std::optional<std::pair<int, int>> size) {
  std::lock_guard lock(mutex_);
  captureSize_ = size;
}

void SimDesktop::setCaptureGate(bool open) {
  {
    std::lock_guard lock(mutex_);
    gateOpen_ = open;
  }
  gateOpened_.notify_all();
}

int SimDesktop::captureCount() const {
  std::lock_guard lock(mutex_);
  return captures_;
}

std::vector<platform::ContentFilter> SimDesktop::capturedFilters() const {
  std::lock_guard lock(mutex_);
  return filters_;
}

std::vector<platform::ScreenInfo> SimDesktop::screens() {
  std::lock_guard lock(mutex_);
  std::vector<platform::ScreenInfo> out;
  if (displays_.empty()) return out;
  const double mainHeight = displays_.front().bounds.maxY();
  for (const auto& d : displays_) {
    out.push_back({Rect{d.bounds.x, mainHeight - d.bounds.maxY(), d.bounds.width, d.bounds.height},
                   d.id, d.scale});
  }
  return out;
}

std::optional<Rect> SimDesktop::displayBounds(std::uint32_t displayID) {
  std::lock_guard lock(mutex_);
  for (const auto& d : displays_) {
    if (d.id == displayID) return d.bounds;
  }
  return std::nullopt;
}

Json SimDesktop::onScreenWindows() {
  std::lock_guard lock(mutex_);
  ++windowListReads;
  return windows_;
}

std::optional<platform::RunningApplication> SimDesktop::application(std::int32_t pid) {
  std::lock_guard lock(mutex_);
  auto it = apps_.find(pid);
  if (it == apps_.end()) return std::nullopt;
  return it->second;
}

std::vector<std::int32_t> SimDesktop::pidsWithBundleID(const std::string& bundleID) {
  std::lock_guard lock(mutex_);
  std::vector<std::int32_t> out;
  for (const auto& [pid, app] : apps_) {
    if (!app.terminated && app.bundleID == bundleID) out.push_back(pid);
  }
  return out;
}

void SimDesktop::activate(std::int32_t pid, std::uint32_t windowID) {
  activations.push_back(pid);
  activatedWindows.push_back(windowID);
  if (!activationWorks) return;
  frontmost = pid;
  frontWindow = windowID;
}

Expected<platform::ShareableContent, platform::PlatformError> SimDesktop::shareableContent(
    bool /*excludeDesktopWindows*/, bool onScreenWindowsOnly) {
  std::lock_guard lock(mutex_);
  if (shareableError_) return unexpected(platform::PlatformError{*shareableError_});
  platform::ShareableContent content;
  for (const auto& d : displays_)
    content.displays.push_back({d.id, d.bounds});
  for (const auto& [pid, app] : apps_) {
    if (!app.terminated) content.applications.push_back({pid, app.bundleID});
  }
  for (const auto& w : windows_) {
    if (!w.is_object()) continue;
    auto id = w.find(platform::kCGWindowNumber);
    if (id == w.end() || !id->is_number()) continue;
    platform::ShareableWindow sw;
    sw.windowID = id->get<std::uint32_t>();
    auto pid = w.find(platform::kCGWindowOwnerPID);
    if (pid != w.end() && pid->is_number() && apps_.count(pid->get<std::int32_t>())) {
      sw.ownerPID = pid->get<std::int32_t>();
    }
    auto box = w.find(platform::kCGWindowBounds);
    if (box != w.end() && box->is_object()) {
      auto side = [&](const char* key) {
        auto v = box->find(key);
        return v != box->end() && v->is_number() ? v->get<double>() : 0.0;
      };
      sw.frame = {side("X"), side("Y"), side("Width"), side("Height")};
    }
    auto on = w.find(platform::kCGWindowIsOnscreen);
    sw.onScreen = on == w.end() || !on->is_boolean() || on->get<bool>();
    if (onScreenWindowsOnly && !sw.onScreen) continue;
    content.windows.push_back(sw);
  }
  return content;
}

Expected<Image, platform::PlatformError> SimDesktop::captureImage(
    const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) {
  std::unique_lock lock(mutex_);
  gateOpened_.wait(lock, [&] { return gateOpen_; });
  ++captures_;
  filters_.push_back(filter);
  if (captureError_) return unexpected(platform::PlatformError{*captureError_});
  auto display = std::find_if(displays_.begin(), displays_.end(),
                              [&](const SimDisplay& d) { return d.id == filter.displayID; });
  if (display == displays_.end()) {
    return unexpected(platform::PlatformError{"The display is not available."});
  }
  const Rect source =
      config.sourceRect.value_or(Rect{0, 0, display->bounds.width, display->bounds.height});
  int width = config.width;
  int height = config.height;
  if (captureSize_) std::tie(width, height) = *captureSize_;
  if (width <= 0 || height <= 0) return unexpected(platform::PlatformError{"Invalid size."});
  Image image(width, height);
  // Each output pixel samples the display pixel under its top-left corner.
  const double sx = source.width * display->scale / width;
  const double sy = source.height * display->scale / height;
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(image.row(y));
    const int py = static_cast<int>(std::floor(source.y * display->scale + y * sy));
    for (int x = 0; x < width; ++x) {
      const int px = static_cast<int>(std::floor(source.x * display->scale + x * sx));
      row[x] = simPixel(display->id, px, py);
    }
  }
  return image;
}

namespace {

class SimExclusionHold final : public platform::ExclusionHold {
 public:
  explicit SimExclusionHold(std::shared_ptr<std::atomic<int>> count) : count_(std::move(count)) {
    ++*count_;
  }
  ~SimExclusionHold() override { --*count_; }

 private:
  std::shared_ptr<std::atomic<int>> count_;
};

}  // namespace

std::unique_ptr<platform::ExclusionHold> SimDesktop::holdExclusions() {
  return std::make_unique<SimExclusionHold>(holds_);
}

}  // namespace orvel::sim
