// One connection to sway's IPC socket (the i3-compatible one named by SWAYSOCK). A message is the
// magic "i3-ipc", its payload's length and its type (both 32-bit, native byte order), then the
// payload. A connection that subscribed gets events (types with the high bit set) interleaved with
// the replies; messages are read in whole, so neither can be torn.
//
// Blocking I/O with a bound on each wait; a connection that failed once stays failed. Not
// thread-safe: its owner serialises the calls.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orvel::wayland {

enum class SwayMessage : std::uint32_t {
  kRunCommand = 0,
  kGetWorkspaces = 1,
  kSubscribe = 2,
  kGetOutputs = 3,
  kGetTree = 4,
};

inline constexpr std::uint32_t kSwayEventBit = 0x80000000u;
inline constexpr std::uint32_t kSwayWorkspaceEvent = kSwayEventBit | 0;
inline constexpr std::uint32_t kSwayOutputEvent = kSwayEventBit | 1;
inline constexpr std::uint32_t kSwayWindowEvent = kSwayEventBit | 3;
inline constexpr std::uint32_t kSwayShutdownEvent = kSwayEventBit | 6;

// Longest payload read: a tree of thousands of views stays far below it.
inline constexpr std::uint32_t kSwayMaxPayload = 64u << 20;

struct SwayPacket {
  std::uint32_t type = 0;
  std::string payload;
};

class SwayIpc {
 public:
  // Connects to the socket at `path` (null: $SWAYSOCK). Null when nothing answers there.
  static std::unique_ptr<SwayIpc> open(const char* path);
  ~SwayIpc();
  SwayIpc(const SwayIpc&) = delete;
  SwayIpc& operator=(const SwayIpc&) = delete;

  // Sends one message and returns the payload of its reply; events that arrive first are kept for
  // nextEvent(). Nothing once the connection failed or no reply came within `timeout`.
  std::optional<std::string> request(SwayMessage type, std::string_view payload,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(2));
  // An event already received or readable now, without waiting; nothing when there is none.
  std::optional<SwayPacket> nextEvent();

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Requests answered so far: for tests and benchmarks.
  std::uint64_t roundTrips() const { return roundTrips_; }

 private:
  explicit SwayIpc(int fd) : fd_(fd) {}
  // One whole message, waiting at most `timeout` for its first byte (zero: only if readable now).
  std::optional<SwayPacket> readPacket(std::chrono::milliseconds timeout);
  bool readExactly(char* out, std::size_t n, std::chrono::milliseconds timeout);
  void fail();

  int fd_ = -1;
  std::uint64_t roundTrips_ = 0;
  std::deque<SwayPacket> pendingEvents_;
};

}  // namespace orvel::wayland
