// sway's shown views (sway_tree.h) kept between reads, and read again only after sway reported a
// change to them, or when the caller asks for the tree. Two connections: one subscribed to window
// and workspace events, one for requests. A read drains the events that arrived and asks for the
// tree only when one did, so an unchanged desktop costs no round trip. sway writes an event on its
// next turn after the change, so a change made an instant before a read can show only in the read
// after it.
//
// sway 1.7 reports views opened, closed, focused, retitled, moved between containers or
// workspaces, made floating or fullscreen, and workspaces shown; it reports no change of a view's
// size or position (a resize, a floating move, a sibling taking space). A reader that must see
// those asks (SwayFreshness::kAsk).
//
// Any thread: reads and requests are serialised on the list's lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/wayland/sway_ipc.h"
#include "platform/wayland/sway_tree.h"

namespace orvel::wayland {

enum class SwayFreshness {
  kReported,  // the cached list unless sway reported a change since
  kAsk,       // the tree as sway holds it now
};

class SwayWindowList {
 public:
  // Connects to the socket at `path` (null: $SWAYSOCK). Null when sway does not answer there.
  static std::unique_ptr<SwayWindowList> open(const char* path);

  // The shown views, front-most first; nothing once the connection broke.
  std::optional<std::vector<SwayView>> read(SwayFreshness freshness = SwayFreshness::kReported);
  // Runs a sway command (e.g. "[con_id=4] focus"); false when sway refused or did not answer.
  bool run(const std::string& command);

  // Round trips on the request connection and reads of the whole tree: for tests and benchmarks.
  std::uint64_t roundTrips();
  std::uint64_t treeReads();

 private:
  SwayWindowList(std::unique_ptr<SwayIpc> requests, std::unique_ptr<SwayIpc> events)
      : requests_(std::move(requests)), events_(std::move(events)) {}

  std::mutex mutex_;
  std::unique_ptr<SwayIpc> requests_;
  std::unique_ptr<SwayIpc> events_;
  std::vector<SwayView> views_;
  bool stale_ = true;
  std::uint64_t treeReads_ = 0;
};

// Whether a reply to a run-command request says every command succeeded.
bool swayCommandsSucceeded(std::string_view reply);

}  // namespace orvel::wayland
