// Reads request lines from a file descriptor without ever holding more than a bounded part of a
// line: a longer line is consumed to its end and reported as over-long, whatever its length.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orvel {

class LineReader {
 public:
  enum class Kind { Line, OverLong, End };
  struct Result {
    Kind kind;
    std::string text;  // the line without its LF or CRLF terminator (Kind::Line only)
  };

  // `maxBytes` is the longest accepted line in bytes, terminator excluded.
  explicit LineReader(int fd, std::size_t maxBytes = 4095);

  // Blocks until a whole line (or the last, unterminated one) has been read, or the input ends.
  // A read error counts as the end of input.
  Result next();

 private:
  bool fill();

  int fd_;
  std::size_t maxBytes_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
};

}  // namespace orvel
