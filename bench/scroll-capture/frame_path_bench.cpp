// The frame path from a finished picture to the last payload byte in a pipe (reply line encoded,
// line and payload written as one unit), against one plain write() of the same bytes through the
// same kind of pipe. Prints the ratio for 1, 4 and 8 megapixel frames.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "orvel/common/image.h"
#include "orvel/common/json_text.h"
#include "orvel/common/reply_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

// A pipe whose reader drains `total` bytes on its own thread.
struct DrainedPipe {
  int fds[2];
  std::thread reader;
  explicit DrainedPipe(std::size_t total) {
    if (pipe(fds) != 0) std::perror("pipe");
    orvel::enlargePipeBuffer(fds[1]);
    reader = std::thread([fd = fds[0], total] {
      std::vector<char> buf(1 << 20);
      std::size_t got = 0;
      while (got < total) {
        ssize_t n = read(fd, buf.data(), buf.size());
        if (n <= 0) break;
        got += std::size_t(n);
      }
    });
  }
  ~DrainedPipe() {
    close(fds[1]);
    reader.join();
    close(fds[0]);
  }
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  std::printf("%-8s %14s %14s %8s\n", "frame", "helper (ms)", "write (ms)", "ratio");
  for (int mp : {1, 4, 8}) {
    const int width = 2000;
    const int height = mp * 500;
    orvel::Image image(width, height);
    std::fill(image.data(), image.data() + image.bytes().size(), std::uint8_t(0x5a));
    const std::size_t length = image.bytes().size();
    std::vector<double> helperMs, plainMs;
    for (int round = 0; round < 15; ++round) {
      {
        DrainedPipe pipe(length + 128);
        orvel::ReplyWriter writer(pipe.fds[1]);
        const auto t0 = Clock::now();
        auto line = orvel::encodeJson(
            {{"ok", true}, {"width", width}, {"height", height}, {"length", length}});
        writer.write(*line, image.bytes());
        helperMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
      }
      {
        DrainedPipe pipe(length);
        const auto t0 = Clock::now();
        std::size_t off = 0;
        while (off < length) {
          ssize_t n = write(pipe.fds[1], image.data() + off, length - off);
          if (n <= 0) break;
          off += std::size_t(n);
        }
        plainMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
      }
    }
    const double h = median(helperMs), p = median(plainMs);
    std::printf("%d MP     %14.2f %14.2f %8.2f\n", mp, h, p, h / p);
  }
}
