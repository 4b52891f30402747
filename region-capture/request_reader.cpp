#include "request_reader.h"

#include "orvel/common/line_reader.h"

namespace orvel::region {

RequestReader::RequestReader(EventLoop& loop, int fd, LineHandler onLine, EndHandler onEnd)
    : loop_(loop), fd_(fd), onLine_(std::move(onLine)), onEnd_(std::move(onEnd)) {}

RequestReader::~RequestReader() {
  if (thread_.joinable()) thread_.join();
}

void RequestReader::start() {
  thread_ = std::thread([&loop = loop_, fd = fd_, onLine = onLine_, onEnd = onEnd_] {
    LineReader reader(fd);
    for (;;) {
      auto result = reader.next();
      if (result.kind == LineReader::Kind::End) break;
      if (result.kind == LineReader::Kind::OverLong) continue;
      loop.post([onLine, line = std::move(result.text)]() mutable { onLine(std::move(line)); });
    }
    loop.post(onEnd);
  });
}

}  // namespace orvel::region
