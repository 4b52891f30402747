// sway's shown views (sway_tree.h) kept between reads, and read again only after sway reported a
// change to them, or when the caller asks for the tree. Two connections: one subscribed to window
// and workspace events, one for requests. A read takes the events that arrived (a bounded amount
// per read: a flood of them only keeps the list stale) and asks for the tree only when one did,
// so an unchanged desktop costs no round trip. sway writes an event on its next turn after the
// change, so a change made an instant before a read can show only in the read after it.
//
// sway 1.7 reports views opened, closed, focused, retitled, moved between containers or
// workspaces, made floating or fullscreen, and workspaces shown; it reports no change of a view's
// size or position (a resize, a floating move, a sibling taking space). A reader that must see
// those asks (SwayFreshness::kAsk).
//
// Every read or command is one exchange with one deadline (kSwayExchangeDeadline), connecting
// included. A failed exchange (sway stopped, gone, trickling or garbled) drops both connections;
// the next exchange connects again, at most once per kSwayRetryPause, so a sway that stays
// unreachable costs one wait per pause, not one per call, and one that comes back serves again.
//
// Any thread: reads and requests are serialised on the list's lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/wayland/sway_ipc.h"
#include "platform/wayland/sway_tree.h"

namespace orvel::wayland {

inline constexpr std::chrono::milliseconds kSwayExchangeDeadline{2000};
inline constexpr std::chrono::milliseconds kSwayRetryPause{500};
// Event bytes taken per read; more stay for the next read, and the list is stale meanwhile.
inline constexpr std::size_t kSwayEventBytesPerRead = 256 * 1024;

enum class SwayFreshness {
  kReported,  // the cached list unless sway reported a change since
  kAsk,       // the tree as sway holds it now
};

class SwayWindowList {
 public:
  // A list on the socket at `path` (null: $SWAYSOCK), connected when sway answers there now; else
  // it tries again at later calls.
  static std::unique_ptr<SwayWindowList> open(const char* path);

  // The shown views, front-most first; nothing when sway did not answer in time.
  std::optional<std::vector<SwayView>> read(SwayFreshness freshness = SwayFreshness::kReported);
  // Runs a sway command (e.g. "[con_id=4] focus"); false when sway refused or did not answer.
  bool run(const std::string& command);
  // Whether sway has answered on this list at least once; while it never has, asks it again (at
  // most once per retry pause).
  bool answered();

  // Round trips on the request connection and reads of the whole tree: for tests and benchmarks.
  std::uint64_t roundTrips();
  std::uint64_t treeReads();

 private:
  explicit SwayWindowList(std::string path) : path_(std::move(path)) {}
  // Both connections up, connecting them when they are down and a retry is due.
  bool connected(SwayDeadline deadline);
  bool connect(SwayDeadline deadline);
  void disconnect();
  // One request on the request connection; a failure drops both connections until a retry.
  std::optional<std::string> request(SwayMessage type, const std::string& payload,
                                     SwayDeadline deadline);

  std::mutex mutex_;
  const std::string path_;
  std::unique_ptr<SwayIpc> requests_;
  std::unique_ptr<SwayIpc> events_;
  std::chrono::steady_clock::time_point retryAt_{};
  bool answered_ = false;
  std::vector<SwayView> views_;
  bool stale_ = true;
  std::uint64_t roundTrips_ = 0;
  std::uint64_t treeReads_ = 0;
};

// Whether a reply to a run-command request says every command succeeded.
bool swayCommandsSucceeded(std::string_view reply);

}  // namespace orvel::wayland
