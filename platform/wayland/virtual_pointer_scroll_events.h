// The ScrollEvents port on wlroots compositors: a zwlr_virtual_pointer_v1 of its own connection
// moves to the event's location (absolute motion over the bounding box of the output layout, in
// logical points) and turns the wheel there, one frame for the motion and one for the wheel.
//
// The wheel names its source as a wheel. Line units are wheel steps: axis_discrete with one step
// per line and 15 (a wheel step's usual value) per step. Pixel units are plain axis values, one
// logical pixel per unit: Wayland scrolls by pixels, so nothing is rounded into steps. Negative
// deltas scroll towards the content's end, which is a positive axis value.
//
// Clients read the wheel's values in units of their own: foot multiplies them by its scrollback
// multiplier (3 by default) and scrolls whole lines, and in the alternate screen turns them into
// arrow keys for programs such as less. So a scroll by a distance is made step by step, each
// step's move measured (measuresClicks).
//
// Wayland does not tell a client where the pointer is, so it cannot be put back: it stays at the
// last location posted or rested at, and the user's next motion moves it on from there.
//
// The virtual pointer is made with this object and lives as long as it: a seat without a pointer
// device gains one then, and clients that bind their pointer only on hearing of it would lose wheel
// events sent right away; a device that came and went with each burst would make the seat drop and
// regain its pointer each time. Main thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/posting_scroll_events.h"
#include "platform/wayland/output_layout.h"
#include "platform/wayland/wayland_connection.h"

struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;

namespace orvel::wayland {

// Where absolute motion puts the pointer: x of x_extent across the layout's bounding box, and the
// same for y.
struct PointerMotion {
  std::uint32_t x = 0, y = 0, xExtent = 0, yExtent = 0;
  friend bool operator==(const PointerMotion&, const PointerMotion&) = default;
};

// The motion to `global` (global display coordinates, the main output's top-left corner at 0,0),
// rounded to the nearest point and kept inside the bounding box; nothing without outputs or for a
// point that is not finite.
std::optional<PointerMotion> motionTo(const OutputLayout& layout, Point global);

// What the wheel sends for one event: `value` (logical pixels, positive towards the content's end)
// and, for line units, `steps` (else 0). Nothing when the event does not scroll vertically.
struct WheelMotion {
  double value = 0;
  std::int32_t steps = 0;
  friend bool operator==(const WheelMotion&, const WheelMotion&) = default;
};
std::optional<WheelMotion> wheelMotionFor(const platform::ScrollWheelEvent& event);

// The value of one wheel step, as mice report it.
inline constexpr double kWheelStepValue = 15;
// Bounds one event: a huge delta must not flood the client nor overflow the wire format.
inline constexpr std::int32_t kMaxStepsPerEvent = 100;
inline constexpr double kMaxPixelsPerEvent = 1 << 20;

class VirtualPointerScrollEvents final : public platform::PostingScrollEvents {
 public:
  // Connects to the compositor at `display` (null: $WAYLAND_DISPLAY).
  explicit VirtualPointerScrollEvents(const char* display = nullptr);
  ~VirtualPointerScrollEvents() override;
  VirtualPointerScrollEvents(const VirtualPointerScrollEvents&) = delete;
  VirtualPointerScrollEvents& operator=(const VirtualPointerScrollEvents&) = delete;

  // Whether a compositor answered and offers virtual pointers and a seat.
  bool available() const { return pointer_ != nullptr; }

  // True while the compositor answers.
  bool openSource() override;
  bool measuresClicks() const override { return true; }
  // Returns once the compositor has handled the motion and the wheel (or after a bounded wait), so
  // the events are on their way to the window under the location.
  void post(const platform::ScrollWheelEvent& event) override;
  // Absolute motion to `place`, handled by the compositor before this returns.
  void restPointer(Point place) override;

 private:
  std::uint32_t now() const;

  std::unique_ptr<WaylandConnection> connection_;
  WlPtr<wl_registry> registry_;
  zwlr_virtual_pointer_manager_v1* manager_ = nullptr;
  zwlr_virtual_pointer_v1* pointer_ = nullptr;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace orvel::wayland
