#include "platform/kde/pixel_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <string>

namespace orvel::kde {

int widenPipe(int fd) {
  // Unprivileged programs may go up to /proc/sys/fs/pipe-max-size (1 MiB by default).
  for (int size = 1 << 20; size >= 1 << 16; size /= 2) {
    const int got = ::fcntl(fd, F_SETPIPE_SZ, size);
    if (got >= 0) return got;
  }
  return ::fcntl(fd, F_GETPIPE_SZ);
}

Expected<std::size_t, Failure> readPixelPipeInto(int fd, std::span<std::uint8_t> into,
                                                 std::chrono::steady_clock::time_point deadline) {
  std::size_t got = 0;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return failed("KWin did not finish writing the picture in time.");
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return failed(std::string("Cannot wait for the picture: ") + strerror(errno));
    if (ready == 0) continue;
    // Once `into` is full, one byte more tells a picture that is too large from one that fills
    // it exactly.
    std::uint8_t extra = 0;
    std::uint8_t* at = got < into.size() ? into.data() + got : &extra;
    const std::size_t room = got < into.size() ? into.size() - got : 1;
    const ssize_t n = ::read(fd, at, room);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return failed(std::string("Cannot read the picture: ") + strerror(errno));
    }
    if (n == 0) return got;
    if (at == &extra) {
      return failed("KWin sent a picture larger than " + std::to_string(into.size()) + " bytes.");
    }
    got += static_cast<std::size_t>(n);
  }
}

Expected<std::vector<std::uint8_t>, Failure> readPixelPipe(
    int fd, std::size_t limit, std::chrono::steady_clock::time_point deadline) {
  std::vector<std::uint8_t> bytes(limit);
  auto read = readPixelPipeInto(fd, bytes, deadline);
  if (!read) return unexpected(std::move(read).error());
  bytes.resize(*read);
  return bytes;
}

}  // namespace orvel::kde
