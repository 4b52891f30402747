#include "platform/gnome/pipewire_connection.h"

#include <pipewire/pipewire.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

namespace orvel::gnome {

Expected<std::unique_ptr<PipeWireConnection>, Failure> PipeWireConnection::open(EventLoop& loop) {
  // The library's own one-time set-up; it is reference-counted and safe to repeat.
  static std::once_flag initialised;
  std::call_once(initialised, [] { pw_init(nullptr, nullptr); });
  std::unique_ptr<PipeWireConnection> c(new PipeWireConnection(loop));
  c->pwLoop_ = pw_loop_new(nullptr);
  if (!c->pwLoop_) return failed("Cannot start PipeWire.");
  pw_loop_enter(c->pwLoop_);
  // PipeWire locks every buffer it maps into memory when it may: for a screen cast that is each of
  // the (up to 16) frames mutter offers, every page touched on the loop thread before the first
  // frame can be read. A reader that copies out one frame at a time needs none of them locked.
  c->context_ =
      pw_context_new(c->pwLoop_, pw_properties_new("mem.allow-mlock", "false", nullptr), 0);
  if (!c->context_) return failed("Cannot start PipeWire.");
  c->core_ = pw_context_connect(c->context_, nullptr, 0);
  if (!c->core_) {
    return failed(std::string("Cannot reach the PipeWire daemon: ") + std::strerror(errno) + ".");
  }
  c->watch_ =
      loop.watch(pw_loop_get_fd(c->pwLoop_), POLLIN, [raw = c.get()](short) { raw->pump(); });
  c->pump();
  return c;
}

PipeWireConnection::~PipeWireConnection() {
  if (watch_) loop_.unwatch(watch_);
  if (core_) pw_core_disconnect(core_);
  if (context_) pw_context_destroy(context_);
  if (pwLoop_) {
    pw_loop_leave(pwLoop_);
    pw_loop_destroy(pwLoop_);
  }
}

void PipeWireConnection::pump() {
  pw_loop_iterate(pwLoop_, 0);
}

}  // namespace orvel::gnome
