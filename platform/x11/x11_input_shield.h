// The InputShield port on X11: active pointer and keyboard grabs on the root window, taken and read
// on the shield's own thread over a connection of its own, so that input is swallowed even while
// the main thread is busy (composing, encoding) and no client under the overlay sees a click or a
// key. Event locations are global display coordinates (points; see MonitorLayout), read from the
// monitors as they are when the grab is taken.
//
// A grab that another client holds is retried every kShieldGrabRetryInterval for
// kShieldGrabAttempts; when it still fails the grab-failure callback runs (on the shield thread)
// and the shield stays down until it is enabled again. The grabs end on setEnabled(false), on
// destruction, and with the process (the server releases a closed connection's grabs).
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/input_shield.h"
#include "platform/x11/monitor_layout.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

inline constexpr auto kShieldGrabRetryInterval = std::chrono::milliseconds(20);
inline constexpr int kShieldGrabAttempts = 25;

class X11InputShield final : public platform::InputShield {
 public:
  // `display` null: $DISPLAY. Nothing is opened before install().
  explicit X11InputShield(const char* display = nullptr);
  ~X11InputShield() override;
  X11InputShield(const X11InputShield&) = delete;
  X11InputShield& operator=(const X11InputShield&) = delete;

  bool install(std::uint64_t eventMask, Handler handler) override;
  void setEnabled(bool enabled) override;

  // Runs on the shield thread when the grabs could not be taken after the retries. Set before
  // install().
  void onGrabFailed(std::function<void()> fn) { grabFailed_ = std::move(fn); }
  // Whether both grabs are held (for tests).
  bool grabbed() const { return grabbed_.load(); }

 private:
  void run();
  void wake();
  bool tryGrab();
  void ungrab();
  void dispatch(const xcb_generic_event_t& event);
  void deliver(std::uint32_t type, int rootX, int rootY, std::uint16_t keyCode = 0);

  std::string display_;
  bool hasDisplay_ = false;
  std::unique_ptr<X11Connection> connection_;
  std::uint64_t mask_ = 0;
  Handler handler_;
  std::function<void()> grabFailed_;
  std::thread thread_;
  int wakeFd_ = -1;
  std::atomic<bool> wanted_{false};
  std::atomic<bool> grabbed_{false};
  std::atomic<bool> stopping_{false};
  // Shield thread only.
  XCursor cursor_;
  std::vector<xcb_keycode_t> escapeKeys_;
  std::optional<MonitorLayout> layout_;
  // Each setEnabled(true) starts a new round of attempts; a failed round is not retried.
  std::atomic<std::uint64_t> generation_{0};
};

}  // namespace orvel::x11
