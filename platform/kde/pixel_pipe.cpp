#include "platform/kde/pixel_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

Expected<std::vector<std::uint8_t>, Failure> readPixelPipe(
    int fd, std::size_t limit, std::chrono::steady_clock::time_point deadline) {
  constexpr std::size_t kChunk = 1 << 20;
  std::vector<std::uint8_t> bytes;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return failed("KWin did not finish writing the picture in time.");
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return failed(std::string("Cannot wait for the picture: ") + strerror(errno));
    if (ready == 0) continue;
    // One byte past the limit tells a picture that is too large from one that fills it exactly.
    const std::size_t room = std::min(kChunk, limit + 1 - bytes.size());
    const std::size_t before = bytes.size();
    bytes.resize(before + room);
    const ssize_t n = ::read(fd, bytes.data() + before, room);
    if (n < 0) {
      bytes.resize(before);
      if (errno == EINTR || errno == EAGAIN) continue;
      return failed(std::string("Cannot read the picture: ") + strerror(errno));
    }
    bytes.resize(before + static_cast<std::size_t>(n));
    if (n == 0) return bytes;
    if (bytes.size() > limit) {
      return failed("KWin sent a picture larger than " + std::to_string(limit) + " bytes.");
    }
  }
}

}  // namespace orvel::kde
