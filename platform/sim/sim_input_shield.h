// Input interception of the sim desktop. Scripted events are handed to the handler on the shield's
// own thread, as a system would, and deliver() waits for the verdict, so tests stay deterministic
// while the helper's locking is exercised across threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/input_shield.h"

namespace orvel::sim {

class SimInputShield : public platform::InputShield {
 public:
  SimInputShield() = default;
  ~SimInputShield() override;
  SimInputShield(const SimInputShield&) = delete;
  SimInputShield& operator=(const SimInputShield&) = delete;

  bool install(std::uint64_t eventMask, Handler handler) override;
  void setEnabled(bool enabled) override;

  // ---- for tests -------------------------------------------------------------------------
  // Whether install() succeeds (a missing permission or a failing system call).
  bool installable = true;
  bool installed() const;
  bool enabled() const;
  // How many times setEnabled(false) found the shield enabled.
  int timesLowered() const;
  std::uint64_t eventMask() const;
  // Delivers one event the way the user's input would reach the system. Returns true when the
  // event passed on to applications: the shield is down, the type is not in the mask, or the
  // handler let it through.
  bool deliver(const platform::InputEvent& event);
  // The system switches the interception off and tells the handler. Returns whether it is enabled
  // afterwards.
  bool disableBySystem(std::uint32_t notice = platform::kShieldDisabledByTimeout);

  bool leftDown(Point p) { return deliver({platform::kLeftMouseDown, p, 0}); }
  bool leftDragged(Point p) { return deliver({platform::kLeftMouseDragged, p, 0}); }
  bool leftUp(Point p) { return deliver({platform::kLeftMouseUp, p, 0}); }
  bool key(std::uint16_t keyCode) { return deliver({platform::kKeyDown, {}, keyCode}); }

 private:
  // Runs the handler on the shield thread and returns its verdict.
  bool callHandler(const platform::InputEvent& event);
  void threadMain();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Handler handler_;
  std::uint64_t mask_ = 0;
  bool installed_ = false;
  bool enabled_ = false;
  int timesLowered_ = 0;
  bool stopping_ = false;
  std::optional<platform::InputEvent> pending_;
  std::optional<bool> verdict_;
  std::thread thread_;
};

}  // namespace orvel::sim
