// Feeds arbitrary bytes to the framing of sway's IPC messages, cut into pieces whose sizes the
// input also chooses (partial reads, trickles of one byte, oversize headers): the messages read
// must be the same whatever the cuts, each within the payload limit, and a broken stream must give
// nothing more and hold nothing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/wayland/sway_packet_reader.h"

namespace {

constexpr std::uint32_t kLimit = 4096;

struct Outcome {
  std::vector<orvel::wayland::SwayPacket> packets;
  bool broken = false;
};

Outcome readInPieces(std::string_view stream, std::string_view cuts) {
  orvel::wayland::SwayPacketReader reader(kLimit);
  Outcome out;
  std::size_t at = 0, cut = 0;
  while (at < stream.size()) {
    const std::size_t piece =
        cuts.empty() ? stream.size() : 1 + std::uint8_t(cuts[cut++ % cuts.size()]) % 32;
    reader.append(stream.substr(at, piece));
    at += piece;
    while (auto p = reader.next()) {
      if (p->payload.size() > kLimit) std::abort();
      out.packets.push_back(std::move(*p));
    }
    if (reader.broken() && (reader.buffered() != 0 || reader.next())) std::abort();
  }
  out.broken = reader.broken();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte tells how many of the next bytes choose the cuts; the rest is the stream.
  const std::size_t cutBytes = std::min<std::size_t>(data[0] % 16, size - 1);
  const std::string_view cuts(reinterpret_cast<const char*>(data + 1), cutBytes);
  const std::string_view stream(reinterpret_cast<const char*>(data + 1 + cutBytes),
                                size - 1 - cutBytes);
  const Outcome whole = readInPieces(stream, {});
  const Outcome pieces = readInPieces(stream, cuts);
  const Outcome trickle = readInPieces(stream, std::string_view("\0", 1));
  for (const Outcome* o : {&pieces, &trickle})
    if (o->packets != whole.packets || o->broken != whole.broken) std::abort();
  return 0;
}
