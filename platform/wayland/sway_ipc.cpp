#include "platform/wayland/sway_ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace orvel::wayland {

namespace {

// Bytes taken from the socket per read.
constexpr std::size_t kChunk = 64 * 1024;

// Waits until `fd` is ready for `events` or `deadline` passes; false then.
bool waitFor(int fd, short events, SwayDeadline deadline) {
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, int(std::max<std::int64_t>(left.count(), 0)));
    if (n < 0 && errno == EINTR) continue;
    return n > 0;
  }
}

}  // namespace

std::unique_ptr<SwayIpc> SwayIpc::open(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return nullptr;
  std::memcpy(address.sun_path, path.data(), path.size());
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

bool SwayIpc::sendAll(std::string_view bytes, SwayDeadline deadline) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd_, POLLOUT, deadline))
      continue;
    if (n <= 0) return false;
    bytes.remove_prefix(std::size_t(n));
  }
  return true;
}

bool SwayIpc::receive(std::size_t maxBytes) {
  char chunk[kChunk];
  const ssize_t n = ::recv(fd_, chunk, std::min(maxBytes, sizeof(chunk)), MSG_DONTWAIT);
  if (n < 0) return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK;
  if (n == 0) return false;
  reader_.append(std::string_view(chunk, std::size_t(n)));
  return !reader_.broken();
}

std::optional<std::string> SwayIpc::request(SwayMessage type, std::string_view payload,
                                            SwayDeadline deadline) {
  if (fd_ < 0 || payload.size() > kSwayMaxPayload) return std::nullopt;
  const auto code = std::uint32_t(type);
  if (!sendAll(swayHeader(code, std::uint32_t(payload.size())), deadline) ||
      !sendAll(payload, deadline)) {
    fail();
    return std::nullopt;
  }
  ++roundTrips_;
  for (;;) {
    while (auto packet = reader_.next()) {
      if (packet->type == code) return std::move(packet->payload);
      // A reply to something else means the exchanges are out of step.
      if (!(packet->type & kSwayEventBit)) {
        fail();
        return std::nullopt;
      }
      ++events_;
    }
    // A reply not whole by the deadline would leave the next request reading its rest.
    if (reader_.broken() || !waitFor(fd_, POLLIN, deadline) || !receive(kChunk)) {
      fail();
      return std::nullopt;
    }
  }
}

std::size_t SwayIpc::takeEvents(std::size_t maxBytes) {
  for (std::size_t taken = 0; fd_ >= 0 && taken < maxBytes;) {
    const std::size_t before = reader_.buffered();
    if (!receive(maxBytes - taken)) {
      fail();
      break;
    }
    const std::size_t got = reader_.buffered() - before;
    while (auto packet = reader_.next()) {
      if (!(packet->type & kSwayEventBit)) {
        fail();
        break;
      }
      ++events_;
    }
    if (got == 0) break;
    taken += got;
  }
  return std::exchange(events_, 0);
}

}  // namespace orvel::wayland
