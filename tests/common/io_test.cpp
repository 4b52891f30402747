#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>

#include <string>
#include <thread>
#include <vector>

#include "orvel/common/json_text.h"
#include "orvel/common/line_reader.h"
#include "orvel/common/reply_writer.h"

namespace orvel {
namespace {

// Feeds `chunks` into a pipe from another thread and collects what the reader reports.
std::vector<LineReader::Result> readAll(std::vector<std::string> chunks) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  std::thread writer([fd = fds[1], chunks = std::move(chunks)] {
    for (const auto& c : chunks) {
      size_t off = 0;
      while (off < c.size()) {
        auto n = write(fd, c.data() + off, c.size() - off);
        if (n <= 0) break;
        off += size_t(n);
      }
    }
    close(fd);
  });
  LineReader reader(fds[0]);
  std::vector<LineReader::Result> out;
  for (;;) {
    auto r = reader.next();
    if (r.kind == LineReader::Kind::End) break;
    out.push_back(std::move(r));
  }
  writer.join();
  close(fds[0]);
  return out;
}

TEST(LineReader, LimitIsInUtf8BytesWithTerminatorsStripped) {
  const std::string ok(4095, 'a');
  const std::string tooLong(4096, 'a');
  std::string multibyteOk(4093, 'b');
  multibyteOk += "\xC3\xA9";  // 4095 bytes, 4094 characters
  std::string multibyteLong(4094, 'b');
  multibyteLong += "\xC3\xA9";  // 4096 bytes, 4095 characters
  auto lines = readAll({ok + "\n", tooLong + "\n", ok + "\r\n", tooLong + "\r\n",
                        multibyteOk + "\n", multibyteLong + "\n", "\n", "x\r\n", "last"});
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0].kind, LineReader::Kind::Line);
  EXPECT_EQ(lines[0].text, ok);
  EXPECT_EQ(lines[1].kind, LineReader::Kind::OverLong);
  EXPECT_EQ(lines[2].kind, LineReader::Kind::Line);
  EXPECT_EQ(lines[2].text, ok);
  EXPECT_EQ(lines[3].kind, LineReader::Kind::OverLong);
  EXPECT_EQ(lines[4].kind, LineReader::Kind::Line);
  EXPECT_EQ(lines[5].kind, LineReader::Kind::OverLong);
  EXPECT_EQ(lines[6].kind, LineReader::Kind::Line);
  EXPECT_EQ(lines[6].text, "");
  EXPECT_EQ(lines[7].text, "x");
  EXPECT_EQ(lines[8].kind, LineReader::Kind::Line);
  EXPECT_EQ(lines[8].text, "last") << "a final line without a terminator counts";
}

TEST(LineReader, HugeLinesAreConsumedWholeAcrossReadsAndTheNextLineIsIntact) {
  std::vector<std::string> chunks;
  const std::string block(1 << 20, '{');
  for (int i = 0; i < 64; ++i)
    chunks.push_back(block);  // 64 MiB without a line feed
  chunks.push_back("\n{\"command\":\"close\"}\n");
  for (int i = 0; i < 8; ++i)
    chunks.push_back(block);  // and an unterminated one at the end
  auto lines = readAll(std::move(chunks));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].kind, LineReader::Kind::OverLong);
  EXPECT_EQ(lines[1].text, "{\"command\":\"close\"}");
  EXPECT_EQ(lines[2].kind, LineReader::Kind::OverLong);
}

TEST(ReplyWriter, LinesAndPayloadsFromManyThreadsNeverInterleave) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ReplyWriter writer(fds[1]);
  constexpr int kThreads = 4;
  constexpr int kReplies = 50;
  std::string received;
  std::thread reader([&] {
    char buf[65536];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
      received.append(buf, size_t(n));
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::vector<std::uint8_t> payload(100000 + t, std::uint8_t('A' + t));
      for (int i = 0; i < kReplies; ++i) {
        std::string line =
            "{\"t\":" + std::to_string(t) + ",\"length\":" + std::to_string(payload.size()) + "}";
        ASSERT_TRUE(writer.write(line, payload));
      }
    });
  }
  for (auto& t : threads)
    t.join();
  close(fds[1]);
  reader.join();
  close(fds[0]);
  size_t pos = 0;
  int count = 0;
  while (pos < received.size()) {
    size_t nl = received.find('\n', pos);
    ASSERT_NE(nl, std::string::npos);
    auto reply = parseJson(std::string_view(received).substr(pos, nl - pos));
    ASSERT_TRUE(reply.has_value());
    const int t = (*reply)["t"].get<int>();
    const size_t length = (*reply)["length"].get<size_t>();
    ASSERT_LE(nl + 1 + length, received.size());
    EXPECT_EQ(std::min(received.find_first_not_of(char('A' + t), nl + 1), received.size()),
              nl + 1 + length);
    pos = nl + 1 + length;
    ++count;
  }
  EXPECT_EQ(count, kThreads * kReplies);
}

TEST(ReplyWriter, ABrokenPipeIsReportedNotFatal) {
  signal(SIGPIPE, SIG_IGN);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  ReplyWriter writer(fds[1]);
  EXPECT_FALSE(writer.write("{\"ok\":true}"));
  EXPECT_TRUE(writer.closed());
  EXPECT_FALSE(writer.write("{\"ok\":true}"));
  close(fds[1]);
}

TEST(ReplyWriter, PipeBufferGrowsForPipesOnly) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  EXPECT_GT(enlargePipeBuffer(fds[1]), 65536u);
  close(fds[0]);
  close(fds[1]);
  EXPECT_EQ(enlargePipeBuffer(STDERR_FILENO == -1 ? 0 : open("/dev/null", O_WRONLY)), 0u);
}

TEST(JsonText, EncodingRefusesWhatCannotBeWrittenAndParsingNeverThrows) {
  EXPECT_EQ(encodeJson(Json{{"ok", true}, {"x", 3.0}}), "{\"ok\":true,\"x\":3.0}");
  EXPECT_FALSE(encodeJson(Json{{"x", std::nan("")}}).has_value());
  EXPECT_FALSE(encodeJson(Json{{"r", {{"w", HUGE_VAL}}}}).has_value());
  EXPECT_FALSE(encodeJson(Json{{"s", std::string("\xFF")}}).has_value());
  EXPECT_FALSE(parseJson("{").has_value());
  EXPECT_FALSE(parseJson("").has_value());
  EXPECT_TRUE(parseJson("[]")->is_array());
}

}  // namespace
}  // namespace orvel
