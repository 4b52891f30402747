// A region-capture helper on a sim desktop with a manual clock: request lines in, replies and
// trace lines out.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/json_text.h"
#include "platform/sim/sim_backend.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_input_shield.h"
#include "platform/sim/sim_overlay.h"
#include "region_capture_helper.h"

namespace orvel::region::testing {

inline constexpr std::int32_t kOwnPid = 700;
inline constexpr std::int32_t kHostPid = 600;

// Environment and trace lines are shared with the input-shield thread.
class TestProcess {
 public:
  void setEnv(const std::string& name, std::optional<std::string> value) {
    std::lock_guard lock(mutex_);
    if (value) {
      env_[name] = *value;
    } else {
      env_.erase(name);
    }
  }
  std::optional<std::string> env(const char* name) {
    std::lock_guard lock(mutex_);
    auto it = env_.find(name);
    if (it == env_.end()) return std::nullopt;
    return it->second;
  }
  void traceLine(std::string_view line) {
    std::lock_guard lock(mutex_);
    traces_.emplace_back(line);
  }
  std::vector<std::string> traces() {
    std::lock_guard lock(mutex_);
    return traces_;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::string> env_;
  std::vector<std::string> traces_;
};

struct HelperRig {
  explicit HelperRig(bool startHelper = true) {
    desktop.addApplication(kHostPid, "host");
    desktop.addApplication(kOwnPid, "helper");
    if (startHelper) start();
  }
  ~HelperRig() { desktop.setCaptureGate(true); }

  void start() {
    helper.follow(backend);
    helper.start();
    loop.runUntilIdle();
  }
  void send(const std::string& line) {
    helper.receiveLine(line);
    loop.runUntilIdle();
  }
  void request(const Json& object) { send(object.dump()); }
  void run() { loop.runUntilIdle(); }
  std::vector<Json> replies() const {
    std::vector<Json> out;
    for (const auto& line : lines)
      out.push_back(Json::parse(line));
    return out;
  }
  Json lastReply() const { return lines.empty() ? Json() : Json::parse(lines.back()); }

  // Left-button drag through the input shield, in global display coordinates.
  void dragThroughShield(Point from, Point to) {
    shield.leftDown(from);
    shield.leftDragged(to);
    shield.leftUp(to);
    run();
  }

  ManualClock clock;
  EventLoop loop{clock};
  sim::SimDesktop desktop;
  sim::SimBackend backend{desktop};
  sim::SimOverlay& overlay = backend.overlay();
  sim::SimInputShield& shield = backend.shield();
  TestProcess process;
  std::vector<std::string> lines;
  RegionCaptureHelper helper{loop,
                             {desktop, desktop, desktop, overlay, shield},
                             {[this](std::string_view line) { lines.emplace_back(line); },
                              [this](std::string_view line) { process.traceLine(line); },
                              [this](const char* name) { return process.env(name); },
                              {kOwnPid, [] { return kHostPid; }}}};
};

}  // namespace orvel::region::testing
