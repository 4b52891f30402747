#include "platform/wayland/wayland_connection.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/wayland/output_transform.h"

namespace orvel::wayland {

namespace {

template <class T>
T* bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface,
        std::uint32_t offered, std::uint32_t wanted) {
  return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

WaylandOutput& outputOf(void* data) {
  return *static_cast<WaylandOutput*>(data);
}

const wl_output_listener kOutputListener = {
    [](void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t,
       std::int32_t, const char*, const char*, std::int32_t transform) {
      auto& o = outputOf(data);
      o.transform = transform;
      // Only a compositor without xdg-output leaves the logical position to wl_output.
      if (!o.xdgOutput) o.logical = {double(x), double(y), o.logical.width, o.logical.height};
    },
    [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
       std::int32_t) {
      if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
      outputOf(data).modeWidth = width;
      outputOf(data).modeHeight = height;
    },
    [](void* data, wl_output*) {
      auto& o = outputOf(data);
      if (o.xdgOutput || o.scale <= 0) return;
      const bool turn = swapsSides(o.transform);
      o.logical.width = double(turn ? o.modeHeight : o.modeWidth) / o.scale;
      o.logical.height = double(turn ? o.modeWidth : o.modeHeight) / o.scale;
    },
    [](void* data, wl_output*, std::int32_t factor) { outputOf(data).scale = factor; },
    [](void* data, wl_output*, const char* name) {
      if (outputOf(data).name.empty()) outputOf(data).name = name;
    },
    [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener kXdgOutputListener = {
    [](void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
      auto& o = outputOf(data);
      o.logical = {double(x), double(y), o.logical.width, o.logical.height};
    },
    [](void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
      auto& o = outputOf(data);
      o.logical = {o.logical.x, o.logical.y, double(width), double(height)};
    },
    [](void*, zxdg_output_v1*) {},
    [](void* data, zxdg_output_v1*, const char* name) { outputOf(data).name = name; },
    [](void*, zxdg_output_v1*, const char*) {},
};

const wl_seat_listener kSeatListener = {
    [](void* data, wl_seat*, std::uint32_t caps) {
      static_cast<WaylandConnection*>(data)->seatCapabilitiesChanged(caps);
    },
    [](void*, wl_seat*, const char*) {},
};

// A window manager that pings and gets no pong counts the client as hung.
const xdg_wm_base_listener kWmBaseListener = {
    [](void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

const wl_registry_listener kRegistryListener = {
    [](void* data, wl_registry* r, std::uint32_t name, const char* interface,
       std::uint32_t version) {
      WaylandConnection::registryGlobal(data, r, name, interface, version);
    },
    [](void* data, wl_registry* r, std::uint32_t name) {
      WaylandConnection::registryGlobalRemove(data, r, name);
    },
};

}  // namespace

OutputGeometry WaylandOutput::geometry() const {
  const bool turn = swapsSides(transform);
  return {globalName, name, logical, turn ? modeHeight : modeWidth, turn ? modeWidth : modeHeight};
}

std::unique_ptr<WaylandConnection> WaylandConnection::open(const char* name,
                                                           std::shared_ptr<StallWatch> stalls) {
  wl_display* display = wl_display_connect(name);
  if (!display) return nullptr;
  std::unique_ptr<WaylandConnection> c(new WaylandConnection);
  c->display_ = display;
  c->stalls_ = stalls ? std::move(stalls) : std::make_shared<StallWatch>();
  c->registry_.reset(wl_display_get_registry(display));
  wl_registry_add_listener(c->registry_.get(), &kRegistryListener, c.get());
  // The globals, then what the bound outputs announce.
  if (!c->roundtrip(kCompositorGreetingTimeout) || !c->roundtrip()) return nullptr;
  return c;
}

WaylandConnection::~WaylandConnection() {
  outputs_.clear();
  lateSync_.reset();
  activation_.reset();
  wmBase_.reset();
  viewporter_.reset();
  xdgOutputManager_.reset();
  screencopy_.reset();
  layerShell_.reset();
  seat_.reset();
  shm_.reset();
  compositor_.reset();
  registry_.reset();
  if (display_) wl_display_disconnect(display_);
}

bool WaylandConnection::ok() {
  return !failed_ && wl_display_get_error(display_) == 0;
}

void WaylandConnection::registryGlobal(void* data, wl_registry* registry, std::uint32_t name,
                                       const char* interface, std::uint32_t version) {
  auto& c = *static_cast<WaylandConnection*>(data);
  const auto is = [interface](const wl_interface& i) {
    return std::strcmp(interface, i.name) == 0;
  };
  if (is(wl_compositor_interface)) {
    c.compositor_.reset(bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4));
  } else if (is(wl_shm_interface)) {
    c.shm_.reset(bind<wl_shm>(registry, name, &wl_shm_interface, version, 1));
  } else if (is(wl_seat_interface) && !c.seat_) {
    c.seat_.reset(bind<wl_seat>(registry, name, &wl_seat_interface, version, 5));
    wl_seat_add_listener(c.seat_.get(), &kSeatListener, &c);
  } else if (is(zwlr_layer_shell_v1_interface)) {
    c.layerShell_.reset(
        bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 3));
  } else if (is(zwlr_screencopy_manager_v1_interface)) {
    // Version 2: shm buffers only, announced one at a time.
    c.screencopy_.reset(bind<zwlr_screencopy_manager_v1>(
        registry, name, &zwlr_screencopy_manager_v1_interface, version, 2));
  } else if (is(zxdg_output_manager_v1_interface)) {
    c.xdgOutputManager_.reset(bind<zxdg_output_manager_v1>(
        registry, name, &zxdg_output_manager_v1_interface, version, 3));
    for (auto& o : c.outputs_)
      c.watchXdgOutput(*o);
  } else if (is(wp_viewporter_interface)) {
    c.viewporter_.reset(bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1));
  } else if (is(xdg_wm_base_interface)) {
    c.wmBase_.reset(bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 2));
    xdg_wm_base_add_listener(c.wmBase_.get(), &kWmBaseListener, &c);
  } else if (is(xdg_activation_v1_interface)) {
    c.activation_.reset(
        bind<xdg_activation_v1>(registry, name, &xdg_activation_v1_interface, version, 1));
  } else if (is(wl_output_interface)) {
    c.addOutput(name, version);
    if (c.outputsChanged_) c.outputsChanged_();
  }
}

void WaylandConnection::registryGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
  auto& c = *static_cast<WaylandConnection*>(data);
  const bool removed =
      std::erase_if(c.outputs_, [name](const auto& o) { return o->globalName == name; }) > 0;
  if (removed && c.outputsChanged_) c.outputsChanged_();
}

void WaylandConnection::seatCapabilitiesChanged(std::uint32_t caps) {
  seatCapabilities_ = caps;
  if (seatChanged_) seatChanged_(caps);
}

void WaylandConnection::addOutput(std::uint32_t name, std::uint32_t version) {
  auto o = std::make_unique<WaylandOutput>();
  o->globalName = name;
  o->output.reset(bind<wl_output>(registry_.get(), name, &wl_output_interface, version, 4));
  wl_output_add_listener(o->output.get(), &kOutputListener, o.get());
  if (xdgOutputManager_) watchXdgOutput(*o);
  outputs_.push_back(std::move(o));
}

void WaylandConnection::watchXdgOutput(WaylandOutput& output) {
  if (output.xdgOutput) return;
  output.xdgOutput.reset(
      zxdg_output_manager_v1_get_xdg_output(xdgOutputManager_.get(), output.output.get()));
  zxdg_output_v1_add_listener(output.xdgOutput.get(), &kXdgOutputListener, &output);
}

WaylandOutput* WaylandConnection::findOutput(std::uint32_t globalName) const {
  for (const auto& o : outputs_) {
    if (o->globalName == globalName) return o.get();
  }
  return nullptr;
}

WaylandOutput* WaylandConnection::findOutput(const wl_output* output) const {
  for (const auto& o : outputs_) {
    if (o->output.get() == output) return o.get();
  }
  return nullptr;
}

OutputLayout WaylandConnection::layout() const {
  std::vector<OutputGeometry> list;
  for (const auto& o : outputs_)
    list.push_back(o->geometry());
  return OutputLayout(std::move(list));
}

void WaylandConnection::awaitLateAnswer() {
  static const wl_callback_listener kLate = {[](void* data, wl_callback*, std::uint32_t) {
    static_cast<WaylandConnection*>(data)->lateAnswer();
  }};
  if (lateSync_ || !ok()) return;
  lateSync_.reset(wl_display_sync(display_));
  wl_callback_add_listener(lateSync_.get(), &kLate, this);
  flush();
}

void WaylandConnection::lateAnswer() {
  lateSync_.reset();
  stalls_->answered();
}

bool WaylandConnection::dispatchUntil(const std::function<bool()>& done,
                                      std::chrono::milliseconds timeout) {
  const auto started = std::chrono::steady_clock::now();
  // Past the deadline the socket is still looked at once, without waiting: a compositor that ran
  // again meanwhile may have answered already.
  bool lookedLate = false;
  bool heard = false;
  if (stalls_->stalled()) awaitLateAnswer();
  while (!done()) {
    if (!ok()) return false;
    while (wl_display_prepare_read(display_) != 0) {
      if (wl_display_dispatch_pending(display_) < 0) return fail(), false;
    }
    if (done()) {
      wl_display_cancel_read(display_);
      return true;
    }
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
      wl_display_cancel_read(display_);
      return fail(), false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        stalls_->deadline(started, timeout) - std::chrono::steady_clock::now());
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    int ready = 0;
    if (left.count() > 0) {
      ready = ::poll(&p, 1, static_cast<int>(left.count()));
    } else if (!lookedLate) {
      lookedLate = true;
      ready = ::poll(&p, 1, 0);
    }
    if (ready <= 0) {
      wl_display_cancel_read(display_);
      if (ready < 0 && errno == EINTR) continue;
      stalls_->ranOut(started);
      awaitLateAnswer();
      return false;
    }
    if (wl_display_read_events(display_) < 0) return fail(), false;
    heard = true;
    if (wl_display_dispatch_pending(display_) < 0) return fail(), false;
  }
  if (heard) stalls_->answered();
  return true;
}

bool WaylandConnection::roundtrip(std::chrono::milliseconds timeout) {
  bool answered = false;
  static const wl_callback_listener kDone = {
      [](void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }};
  WlPtr<wl_callback> sync(wl_display_sync(display_));
  wl_callback_add_listener(sync.get(), &kDone, &answered);
  return dispatchUntil([&answered] { return answered; }, timeout);
}

bool WaylandConnection::dispatchAvailable() {
  if (!ok()) return false;
  if (wl_display_prepare_read(display_) == 0) {
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    if (::poll(&p, 1, 0) > 0) {
      if (wl_display_read_events(display_) < 0) return fail(), false;
    } else {
      wl_display_cancel_read(display_);
    }
  }
  if (wl_display_dispatch_pending(display_) < 0) return fail(), false;
  flush();
  return ok();
}

void WaylandConnection::flush() {
  if (wl_display_flush(display_) < 0 && errno != EAGAIN) fail();
}

std::string whyNotForCapture(const WaylandConnection* connection) {
  if (!connection) return "no Wayland compositor answers";
  if (!connection->layerShell() || !connection->screencopy() || !connection->seat() ||
      !connection->shm()) {
    return "the Wayland compositor offers no zwlr_layer_shell_v1, zwlr_screencopy_manager_v1, "
           "seat or wl_shm (only wlroots compositors are supported)";
  }
  return "";
}

}  // namespace orvel::wayland
