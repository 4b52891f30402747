#include "platform/wayland/sway_ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace orvel::wayland {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t kHeaderSize = sizeof(kMagic) + 8;
// Events kept for nextEvent() while a request waits for its reply; older ones go first. Their
// owner only asks whether something happened.
constexpr std::size_t kMaxPendingEvents = 256;
// Once a message started, the rest of it follows at once; a peer that stops halfway is broken.
constexpr std::chrono::milliseconds kRestOfMessage{2000};

bool waitReadable(int fd, std::chrono::milliseconds timeout) {
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    const int n = ::poll(&p, 1, int(timeout.count()));
    if (n < 0 && errno == EINTR) continue;
    return n > 0;
  }
}

}  // namespace

std::unique_ptr<SwayIpc> SwayIpc::open(const char* path) {
  if (!path) path = std::getenv("SWAYSOCK");
  if (!path || !*path) return nullptr;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (std::strlen(path) >= sizeof(address.sun_path)) return nullptr;
  std::strcpy(address.sun_path, path);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<SwayIpc>(new SwayIpc(fd));
}

SwayIpc::~SwayIpc() {
  fail();
}

void SwayIpc::fail() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool SwayIpc::readExactly(char* out, std::size_t n, std::chrono::milliseconds timeout) {
  while (n > 0) {
    if (!waitReadable(fd_, timeout)) return false;
    const ssize_t got = ::recv(fd_, out, n, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    n -= std::size_t(got);
  }
  return true;
}

std::optional<SwayPacket> SwayIpc::readPacket(std::chrono::milliseconds timeout) {
  if (fd_ < 0 || !waitReadable(fd_, timeout)) return std::nullopt;
  char header[kHeaderSize];
  if (!readExactly(header, kHeaderSize, kRestOfMessage) ||
      std::memcmp(header, kMagic, sizeof(kMagic)) != 0) {
    fail();
    return std::nullopt;
  }
  std::uint32_t length = 0;
  SwayPacket packet;
  std::memcpy(&length, header + sizeof(kMagic), 4);
  std::memcpy(&packet.type, header + sizeof(kMagic) + 4, 4);
  if (length > kSwayMaxPayload) {
    fail();
    return std::nullopt;
  }
  packet.payload.resize(length);
  if (!readExactly(packet.payload.data(), length, kRestOfMessage)) {
    fail();
    return std::nullopt;
  }
  return packet;
}

std::optional<std::string> SwayIpc::request(SwayMessage type, std::string_view payload,
                                            std::chrono::milliseconds timeout) {
  if (fd_ < 0 || payload.size() > kSwayMaxPayload) return std::nullopt;
  std::string message(kMagic, sizeof(kMagic));
  const auto length = std::uint32_t(payload.size());
  const auto code = std::uint32_t(type);
  message.append(reinterpret_cast<const char*>(&length), 4);
  message.append(reinterpret_cast<const char*>(&code), 4);
  message.append(payload);
  for (std::size_t sent = 0; sent < message.size();) {
    const ssize_t n = ::send(fd_, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fail();
      return std::nullopt;
    }
    sent += std::size_t(n);
  }
  ++roundTrips_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    auto packet = readPacket(std::max(left, std::chrono::milliseconds(0)));
    if (!packet) {
      // A reply that never comes would leave the next request reading this one's answer.
      fail();
      return std::nullopt;
    }
    if (packet->type == code) return std::move(packet->payload);
    if (!(packet->type & kSwayEventBit)) {
      fail();
      return std::nullopt;
    }
    if (pendingEvents_.size() == kMaxPendingEvents) pendingEvents_.pop_front();
    pendingEvents_.push_back(std::move(*packet));
  }
}

std::optional<SwayPacket> SwayIpc::nextEvent() {
  if (!pendingEvents_.empty()) {
    SwayPacket event = std::move(pendingEvents_.front());
    pendingEvents_.pop_front();
    return event;
  }
  auto packet = readPacket(std::chrono::milliseconds(0));
  if (packet && !(packet->type & kSwayEventBit)) {
    fail();
    return std::nullopt;
  }
  return packet;
}

}  // namespace orvel::wayland
