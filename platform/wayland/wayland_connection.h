// One connection to a Wayland compositor with the globals the helpers use bound, and its outputs
// kept current from wl_output and zxdg_output_v1 events (logical layout in points, mode in pixels).
// Every wait is bounded: a compositor that stops answering makes the call fail after its timeout
// (and the waits after it, on every connection sharing its StallWatch, fail by that same deadline
// until the compositor answers again), and one that goes away makes it fail at once. Not
// thread-safe: one thread at a time.
#pragma once

#include <wayland-client.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/wayland/output_layout.h"
#include "platform/wayland/stall_watch.h"
#include "platform/wayland/wl_handles.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-activation-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace orvel::wayland {

inline constexpr auto kCompositorAnswerTimeout = std::chrono::seconds(3);
// For a new connection's first answer: KWin looks up the desktop entry naming a new client's
// program before it answers it, which took 2 to 3 s per connection on a loaded machine.
inline constexpr auto kCompositorGreetingTimeout = std::chrono::seconds(10);
// What the ports answer once the compositor has gone.
inline constexpr const char* kCompositorNotReachable = "The compositor is not reachable.";

struct WaylandOutput {
  std::uint32_t globalName = 0;
  WlPtr<wl_output> output;
  WlPtr<zxdg_output_v1> xdgOutput;
  std::string name;
  std::int32_t transform = WL_OUTPUT_TRANSFORM_NORMAL;
  int modeWidth = 0, modeHeight = 0;
  std::int32_t scale = 1;  // the integer scale wl_output announces
  Rect logical;
  OutputGeometry geometry() const;
};

class WaylandConnection {
 public:
  // Null when no compositor answers at `name` (null: $WAYLAND_DISPLAY). `stalls`: shared with the
  // helper's other connections to the same compositor; null: this connection's own.
  static std::unique_ptr<WaylandConnection> open(const char* name = nullptr,
                                                 std::shared_ptr<StallWatch> stalls = nullptr);
  ~WaylandConnection();
  WaylandConnection(const WaylandConnection&) = delete;
  WaylandConnection& operator=(const WaylandConnection&) = delete;

  wl_display* display() const { return display_; }
  // False once the connection has failed (the compositor went away or raised a protocol error).
  bool ok();

  wl_compositor* compositor() const { return compositor_.get(); }
  wl_shm* shm() const { return shm_.get(); }
  wl_seat* seat() const { return seat_.get(); }
  zwlr_layer_shell_v1* layerShell() const { return layerShell_.get(); }
  zwlr_screencopy_manager_v1* screencopy() const { return screencopy_.get(); }
  wp_viewporter* viewporter() const { return viewporter_.get(); }
  // Desktop windows (answered pings included) and their activation, for compositors without
  // layer surfaces.
  xdg_wm_base* wmBase() const { return wmBase_.get(); }
  xdg_activation_v1* activation() const { return activation_.get(); }
  // The seat's capabilities as last announced (WL_SEAT_CAPABILITY_*), and who wants to know of
  // changes.
  std::uint32_t seatCapabilities() const { return seatCapabilities_; }
  void onSeatCapabilities(std::function<void(std::uint32_t)> fn) { seatChanged_ = std::move(fn); }
  // Who wants to know that an output was added or removed (during a dispatch, before its
  // xdg_output has told where an added one is).
  void onOutputsChanged(std::function<void()> fn) { outputsChanged_ = std::move(fn); }
  const std::vector<std::unique_ptr<WaylandOutput>>& outputs() const { return outputs_; }
  WaylandOutput* findOutput(std::uint32_t globalName) const;
  WaylandOutput* findOutput(const wl_output* output) const;
  OutputLayout layout() const;

  // Handles events until `done()` holds; false when the connection fails or `timeout` passes (or,
  // while the compositor stalls, the deadline of the wait that found it stalled).
  bool dispatchUntil(const std::function<bool()>& done,
                     std::chrono::milliseconds timeout = kCompositorAnswerTimeout);
  // Waits until the compositor has handled every request sent so far and its answers are in.
  bool roundtrip(std::chrono::milliseconds timeout = kCompositorAnswerTimeout);
  // Handles the events that have arrived, without blocking; false when the connection fails.
  bool dispatchAvailable();
  void flush();

  // Registry events (public for the listener table).
  static void registryGlobal(void* data, wl_registry*, std::uint32_t name, const char* interface,
                             std::uint32_t version);
  static void registryGlobalRemove(void* data, wl_registry*, std::uint32_t name);
  void seatCapabilitiesChanged(std::uint32_t caps);
  // The compositor answered the sync sent when a wait ran out.
  void lateAnswer();

 private:
  WaylandConnection() = default;
  void addOutput(std::uint32_t name, std::uint32_t version);
  void watchXdgOutput(WaylandOutput& output);
  void fail() { failed_ = true; }
  // Asks the compositor for a sign of life that will end the stall once it runs again.
  void awaitLateAnswer();

  wl_display* display_ = nullptr;
  bool failed_ = false;
  std::shared_ptr<StallWatch> stalls_;
  WlPtr<wl_callback> lateSync_;
  WlPtr<wl_registry> registry_;
  WlPtr<wl_compositor> compositor_;
  WlPtr<wl_shm> shm_;
  WlPtr<wl_seat> seat_;
  WlPtr<zwlr_layer_shell_v1> layerShell_;
  WlPtr<zwlr_screencopy_manager_v1> screencopy_;
  WlPtr<zxdg_output_manager_v1> xdgOutputManager_;
  WlPtr<wp_viewporter> viewporter_;
  WlPtr<xdg_wm_base> wmBase_;
  WlPtr<xdg_activation_v1> activation_;
  std::vector<std::unique_ptr<WaylandOutput>> outputs_;
  std::uint32_t seatCapabilities_ = 0;
  std::function<void(std::uint32_t)> seatChanged_;
  std::function<void()> outputsChanged_;
};

// Why `connection` cannot serve the capture helpers: no compositor answered, or it lacks layer
// surfaces, screencopy, a seat or wl_shm (only wlroots compositors offer them all); empty when it
// can.
std::string whyNotForCapture(const WaylandConnection* connection);

}  // namespace orvel::wayland
