// The framing of sway's IPC messages, from a byte stream that arrives in pieces of any size: the
// magic "i3-ipc", the payload's length and its type (both 32-bit, native byte order), then the
// payload. Pure logic.
//
// A stream that breaks the framing (another magic, a payload longer than the limit) stays broken:
// nothing after the fault can be trusted to start a message. The limit is checked as soon as the
// header is in, before any of the payload is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvel::wayland {

inline constexpr char kSwayMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
inline constexpr std::size_t kSwayHeaderSize = sizeof(kSwayMagic) + 8;

struct SwayPacket {
  std::uint32_t type = 0;
  std::string payload;
  friend bool operator==(const SwayPacket&, const SwayPacket&) = default;
};

// The header of a message of `type` with `payloadSize` bytes of payload.
std::string swayHeader(std::uint32_t type, std::uint32_t payloadSize);

class SwayPacketReader {
 public:
  explicit SwayPacketReader(std::uint32_t maxPayload) : maxPayload_(maxPayload) {}

  // Bytes as they arrived; ignored once the stream is broken.
  void append(std::string_view bytes);
  // The next whole message; nothing while it is incomplete or once the stream is broken.
  std::optional<SwayPacket> next();
  bool broken() const { return broken_; }
  // Bytes received and not yet returned in a message.
  std::size_t buffered() const { return buffer_.size() - start_; }

 private:
  std::nullopt_t breakStream();
  std::uint32_t maxPayload_;
  std::string buffer_;
  std::size_t start_ = 0;
  bool broken_ = false;
};

}  // namespace orvel::wayland
