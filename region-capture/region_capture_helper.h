// The region-capture helper: serves instant region captures, one at a time, for as long as the
// host keeps it running. All state lives here and is touched on the loop's thread only, except the
// shield, which the input-shield thread reads under its own lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "capture_filters.h"
#include "capture_slot.h"
#include "helper_error.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/json_text.h"
#include "orvel/common/one_shot.h"
#include "platform/desktop_events.h"
#include "region_ports.h"
#include "region_session.h"
#include "shield_state.h"
#include "trace.h"

namespace orvel::region {

// The input the shield intercepts: every button, movement, scroll and key-press event type.
std::uint64_t shieldEventMask();

class RegionCaptureHelper {
 public:
  using Warming = OneShot<std::optional<HelperError>>;

  RegionCaptureHelper(EventLoop& loop, RegionPorts ports, HelperIo io);
  RegionCaptureHelper(const RegionCaptureHelper&) = delete;
  RegionCaptureHelper& operator=(const RegionCaptureHelper&) = delete;

  // Ends captures on the desktop's events: a lost display as Escape would (no more input can
  // come), input taken by another client with kInputUnavailable, displays that changed under a
  // capture with kDisplayConfigurationChanged. Before start().
  void follow(platform::DesktopEvents& events);
  // Installs the input shield when the permissions allow it and warms the capture filters.
  void start();

  // One request line from the host, without its terminator. Loop thread.
  void receiveLine(std::string_view line);
  // Standard input ended. Loop thread.
  void endOfInput();
  // Another client kept the pointer or keyboard from the shield: the capture that holds the shield
  // now ends with a message instead of waiting for input that would never come. Any thread.
  void inputHeldElsewhere();
  // Set once the helper has ended; the process exits with it.
  std::optional<int> exitStatus() const { return exitStatus_; }

  // ---- for sessions ---------------------------------------------------------------------------
  void reply(const Json& object);
  void trace(std::string_view event, std::uint64_t start) const { trace_(event, start); }
  EventLoop& loop() { return loop_; }
  RegionPorts& ports() { return ports_; }
  const std::shared_ptr<RegionSession>& active() const { return active_; }
  void clearActive() { active_.reset(); }
  ShieldState& shield() { return shield_; }
  // Raises or lowers the interception; does nothing without an installed shield.
  void enableInputTap(bool enabled);
  CaptureFilters& filters() { return filters_; }
  CaptureSlot& captureSlot() { return captureSlot_; }
  std::optional<Warming> takeWarming();

 private:
  void handleRequest(const Json& object);
  void prepare(std::int64_t id);
  void quit();
  // Input-shield thread: decides whether an event is swallowed.
  bool intercept(const platform::InputEvent& event);
  // Loop thread: what a swallowed event does.
  void handleShieldEvent(const Shield& owner, const platform::InputEvent& event, bool escape);

  EventLoop& loop_;
  RegionPorts ports_;
  HelperIo io_;
  Trace trace_;
  ShieldState shield_;
  std::atomic<bool> inputTap_ = false;
  std::shared_ptr<RegionSession> active_;
  CaptureFilters filters_;
  CaptureSlot captureSlot_;
  std::optional<Warming> warming_;
  std::optional<int> exitStatus_;
};

}  // namespace orvel::region
