#include "orvel/common/reply_writer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

namespace orvel {

bool ReplyWriter::write(std::string_view line, std::span<const std::uint8_t> payload) {
  std::lock_guard lock(mutex_);
  if (broken_) return false;
  static const char kNewline = '\n';
  iovec iov[3] = {
      {const_cast<char*>(line.data()), line.size()},
      {const_cast<char*>(&kNewline), 1},
      {const_cast<std::uint8_t*>(payload.data()), payload.size()},
  };
  int first = 0;
  const int count = payload.empty() ? 2 : 3;
  while (first < count) {
    ssize_t n = ::writev(fd_, iov + first, count - first);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, -1);
        continue;
      }
      broken_ = true;
      return false;
    }
    auto done = static_cast<std::size_t>(n);
    while (first < count && done >= iov[first].iov_len) {
      done -= iov[first].iov_len;
      ++first;
    }
    if (first < count) {
      iov[first].iov_base = static_cast<char*>(iov[first].iov_base) + done;
      iov[first].iov_len -= done;
    }
  }
  return true;
}

bool ReplyWriter::closed() const {
  std::lock_guard lock(mutex_);
  return broken_;
}

std::size_t enlargePipeBuffer(int fd) {
#ifdef F_SETPIPE_SZ
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode)) return 0;
  long limit = 1 << 20;
  std::ifstream("/proc/sys/fs/pipe-max-size") >> limit;
  // An unprivileged process may be held below the system maximum by its per-user allowance.
  for (long size = limit; size >= 65536; size /= 2) {
    int got = fcntl(fd, F_SETPIPE_SZ, static_cast<int>(size));
    if (got > 0) return static_cast<std::size_t>(got);
  }
  int current = fcntl(fd, F_GETPIPE_SZ);
  return current > 0 ? static_cast<std::size_t>(current) : 0;
#else
  (void)fd;
  return 0;
#endif
}

}  // namespace orvel
