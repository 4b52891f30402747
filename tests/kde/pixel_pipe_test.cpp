// The picture pipe is widened and read to its end, within its bound and its deadline.
#include "platform/kde/pixel_pipe.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

namespace orvel::kde {
namespace {

using namespace std::chrono_literals;

struct Pipe {
  int fds[2] = {-1, -1};
  Pipe() { EXPECT_EQ(::pipe(fds), 0); }
  ~Pipe() {
    closeWriter();
    ::close(fds[0]);
  }
  void closeWriter() {
    if (fds[1] >= 0) ::close(fds[1]);
    fds[1] = -1;
  }
};

std::chrono::steady_clock::time_point in(std::chrono::milliseconds d) {
  return std::chrono::steady_clock::now() + d;
}

TEST(PixelPipe, ReadsEverythingUntilTheWriterCloses) {
  Pipe pipe;
  // More than a pipe holds at once, so the reader must drain while the writer writes.
  std::vector<std::uint8_t> sent(1 << 20);
  for (std::size_t i = 0; i < sent.size(); ++i)
    sent[i] = static_cast<std::uint8_t>(i * 7);
  std::thread writer([&] {
    std::size_t done = 0;
    while (done < sent.size()) {
      const ssize_t n = ::write(pipe.fds[1], sent.data() + done, sent.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    pipe.closeWriter();
  });
  auto read = readPixelPipe(pipe.fds[0], sent.size(), in(60s));
  writer.join();
  ASSERT_TRUE(read) << read.error().description;
  EXPECT_EQ(*read, sent);
}

TEST(PixelPipe, AWidenedPipeHoldsWhatItsSizeSaysWithoutAReader) {
  Pipe pipe;
  const int size = widenPipe(pipe.fds[0]);
  ASSERT_GE(size, 1 << 16);
  EXPECT_EQ(::fcntl(pipe.fds[0], F_GETPIPE_SZ), size);
  // 1 MiB wherever this machine lets the program grow a pipe that far (the default).
  long most = 1 << 20;
  if (FILE* f = std::fopen("/proc/sys/fs/pipe-max-size", "r")) {
    if (std::fscanf(f, "%ld", &most) != 1) most = 1 << 20;
    std::fclose(f);
  }
  if (most >= (1L << 20) || ::geteuid() == 0) {
    EXPECT_EQ(size, 1 << 20);
  }
  ASSERT_EQ(::fcntl(pipe.fds[1], F_SETFL, O_NONBLOCK), 0);
  const std::vector<std::uint8_t> sent(static_cast<std::size_t>(size), 7);
  EXPECT_EQ(::write(pipe.fds[1], sent.data(), sent.size()), size);
}

TEST(PixelPipe, RefusesMoreThanItsBoundAndAWriterThatNeverCloses) {
  {
    Pipe pipe;
    ASSERT_EQ(::write(pipe.fds[1], "0123456789", 10), 10);
    auto tooMuch = readPixelPipe(pipe.fds[0], 9, in(60s));
    ASSERT_FALSE(tooMuch);
    EXPECT_EQ(tooMuch.error().description, "KWin sent a picture larger than 9 bytes.");
  }
  {
    Pipe pipe;
    ASSERT_EQ(::write(pipe.fds[1], "01234", 5), 5);
    auto stalled = readPixelPipe(pipe.fds[0], 100, in(50ms));
    ASSERT_FALSE(stalled);
    EXPECT_EQ(stalled.error().description, "KWin did not finish writing the picture in time.");
  }
  {
    Pipe pipe;
    pipe.closeWriter();
    auto empty = readPixelPipe(pipe.fds[0], 100, in(60s));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
  }
}

// Read straight into a picture's buffer: an exact fill is whole, one byte more is refused, and a
// short picture says how much came.
TEST(PixelPipe, ReadsIntoABufferThatItMayFillButNotOverfill) {
  std::vector<std::uint8_t> into(10, 0);
  {
    Pipe pipe;
    ASSERT_EQ(::write(pipe.fds[1], "0123456789", 10), 10);
    pipe.closeWriter();
    auto exact = readPixelPipeInto(pipe.fds[0], into, in(60s));
    ASSERT_TRUE(exact) << exact.error().description;
    EXPECT_EQ(*exact, 10u);
    EXPECT_EQ(std::string(into.begin(), into.end()), "0123456789");
  }
  {
    Pipe pipe;
    ASSERT_EQ(::write(pipe.fds[1], "0123456789A", 11), 11);
    pipe.closeWriter();
    auto over = readPixelPipeInto(pipe.fds[0], into, in(60s));
    ASSERT_FALSE(over);
    EXPECT_EQ(over.error().description, "KWin sent a picture larger than 10 bytes.");
  }
  {
    Pipe pipe;
    ASSERT_EQ(::write(pipe.fds[1], "abc", 3), 3);
    pipe.closeWriter();
    auto part = readPixelPipeInto(pipe.fds[0], into, in(60s));
    ASSERT_TRUE(part);
    EXPECT_EQ(*part, 3u);
  }
}

}  // namespace
}  // namespace orvel::kde
