// Where the library's one diagnostic line goes: the system log when shipped, a list in tests.
#pragma once

#include <string_view>

namespace orvel::startup {

class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void write(std::string_view line) = 0;
};

}  // namespace orvel::startup
