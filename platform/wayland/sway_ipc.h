// One connection to sway's IPC socket (the i3-compatible one named by SWAYSOCK); the framing is
// sway_packet_reader.h's. A connection that subscribed gets events (types with the high bit set)
// interleaved with the replies.
//
// Every exchange has one deadline for the whole of it, sending and every piece of the reply: a
// peer that trickles its reply a byte at a time fails it as one that says nothing does. Reads of
// events never wait and take a bounded number of bytes per call, so a peer that sends events
// without end cannot hold the caller. A connection that failed once stays failed. Not
// thread-safe: its owner serialises the calls.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/wayland/sway_packet_reader.h"

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

// Longest payload read: the tree of 10,000 views with long titles stays below it (see
// docs/wayland.md for the measure).
inline constexpr std::uint32_t kSwayMaxPayload = 16u << 20;

using SwayDeadline = std::chrono::steady_clock::time_point;

class SwayIpc {
 public:
  // Connects to the socket at `path`. Null when nothing listens there.
  static std::unique_ptr<SwayIpc> open(const std::string& path);
  ~SwayIpc();
  SwayIpc(const SwayIpc&) = delete;
  SwayIpc& operator=(const SwayIpc&) = delete;

  // Sends one message and returns the payload of its reply; events that arrive first are counted
  // for takeEvents(). Nothing, and the connection failed, when the whole reply is not in by
  // `deadline`, the peer broke the framing or went away.
  std::optional<std::string> request(SwayMessage type, std::string_view payload,
                                     SwayDeadline deadline);
  // The number of events received since the last call, reading at most about `maxBytes` of what
  // is readable now, without waiting. Their payloads are dropped: owners only ask whether
  // something happened.
  std::size_t takeEvents(std::size_t maxBytes);

  bool ok() const { return fd_ >= 0; }
  // Requests answered so far: for tests and benchmarks.
  std::uint64_t roundTrips() const { return roundTrips_; }

 private:
  explicit SwayIpc(int fd) : fd_(fd) {}
  bool sendAll(std::string_view bytes, SwayDeadline deadline);
  // Reads what is readable now, at most `maxBytes`; false when the peer went away or broke the
  // framing.
  bool receive(std::size_t maxBytes);
  void fail();

  int fd_ = -1;
  std::uint64_t roundTrips_ = 0;
  std::size_t events_ = 0;
  SwayPacketReader reader_{kSwayMaxPayload};
};

}  // namespace orvel::wayland
