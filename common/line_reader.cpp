#include "orvel/common/line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvel {

LineReader::LineReader(int fd, std::size_t maxBytes)
    : fd_(fd), maxBytes_(maxBytes), buffer_(64 * 1024) {}

bool LineReader::fill() {
  if (eof_) return false;
  begin_ = 0;
  for (;;) {
    ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
    if (n > 0) {
      end_ = static_cast<std::size_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    end_ = 0;
    eof_ = true;
    return false;
  }
}

LineReader::Result LineReader::next() {
  std::string line;
  bool overLong = false;
  bool any = false;
  // One byte beyond the limit is kept so that a CR of a CRLF terminator fits.
  const std::size_t keep = maxBytes_ + 1;
  for (;;) {
    if (begin_ == end_ && !fill()) break;
    any = true;
    const char* start = buffer_.data() + begin_;
    const std::size_t avail = end_ - begin_;
    const void* lf = std::memchr(start, '\n', avail);
    const std::size_t take =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : avail;
    if (!overLong) {
      if (line.size() + take > keep) {
        overLong = true;
        line.clear();
        line.shrink_to_fit();
      } else {
        line.append(start, take);
      }
    }
    begin_ += take;
    if (lf) {
      ++begin_;  // the LF
      if (!overLong && !line.empty() && line.back() == '\r') line.pop_back();
      if (overLong || line.size() > maxBytes_) return {Kind::OverLong, {}};
      return {Kind::Line, std::move(line)};
    }
  }
  if (!any) return {Kind::End, {}};
  if (overLong || line.size() > maxBytes_) return {Kind::OverLong, {}};
  return {Kind::Line, std::move(line)};
}

}  // namespace orvel
