#include "platform/wayland/sway_packet_reader.h"

#include <algorithm>
#include <cstring>

namespace orvel::wayland {

std::string swayHeader(std::uint32_t type, std::uint32_t payloadSize) {
  std::string header(kSwayMagic, sizeof(kSwayMagic));
  header.append(reinterpret_cast<const char*>(&payloadSize), 4);
  header.append(reinterpret_cast<const char*>(&type), 4);
  return header;
}

void SwayPacketReader::append(std::string_view bytes) {
  if (broken_ || bytes.empty()) return;
  // Drop what was returned before the buffer grows, so it holds at most one message and a piece.
  if (start_ > 0 && start_ >= buffer_.size() / 2) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  buffer_.append(bytes);
}

std::nullopt_t SwayPacketReader::breakStream() {
  broken_ = true;
  buffer_ = std::string();
  start_ = 0;
  return std::nullopt;
}

std::optional<SwayPacket> SwayPacketReader::next() {
  if (broken_) return std::nullopt;
  const std::string_view held = std::string_view(buffer_).substr(start_);
  // A wrong magic shows in its first byte: no need to wait for the rest of the header.
  const std::size_t magicHeld = std::min(held.size(), sizeof(kSwayMagic));
  if (std::memcmp(held.data(), kSwayMagic, magicHeld) != 0) return breakStream();
  if (held.size() < kSwayHeaderSize) return std::nullopt;
  std::uint32_t length = 0;
  SwayPacket packet;
  std::memcpy(&length, held.data() + sizeof(kSwayMagic), 4);
  std::memcpy(&packet.type, held.data() + sizeof(kSwayMagic) + 4, 4);
  if (length > maxPayload_) return breakStream();
  if (held.size() - kSwayHeaderSize < length) return std::nullopt;
  if (start_ == 0 && held.size() == kSwayHeaderSize + length) {
    // The buffer holds this message alone: it becomes the payload, without a second copy of a
    // large tree.
    packet.payload = std::move(buffer_);
    packet.payload.erase(0, kSwayHeaderSize);
    buffer_.clear();
    return packet;
  }
  packet.payload.assign(held.substr(kSwayHeaderSize, length));
  start_ += kSwayHeaderSize + length;
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  }
  return packet;
}

}  // namespace orvel::wayland
