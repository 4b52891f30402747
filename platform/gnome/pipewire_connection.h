// A connection to the session's PipeWire daemon (the socket in XDG_RUNTIME_DIR), driven by the
// helper's event loop: PipeWire's own loop is iterated whenever its descriptor is readable, so
// stream callbacks run on the loop thread, inside pump(). Loop thread only.
#pragma once

#include <memory>

#include "orvel/common/event_loop.h"
#include "orvel/common/expected.h"
#include "orvel/common/failure.h"

struct pw_loop;
struct pw_context;
struct pw_core;

namespace orvel::gnome {

class PipeWireConnection {
 public:
  static Expected<std::unique_ptr<PipeWireConnection>, Failure> open(EventLoop& loop);
  ~PipeWireConnection();
  PipeWireConnection(const PipeWireConnection&) = delete;
  PipeWireConnection& operator=(const PipeWireConnection&) = delete;

  pw_core* core() const { return core_; }
  EventLoop& loop() const { return loop_; }
  // Runs what PipeWire has ready.
  void pump();

 private:
  explicit PipeWireConnection(EventLoop& loop) : loop_(loop) {}
  EventLoop& loop_;
  pw_loop* pwLoop_ = nullptr;
  pw_context* context_ = nullptr;
  pw_core* core_ = nullptr;
  EventLoop::WatchId watch_ = 0;
};

}  // namespace orvel::gnome
