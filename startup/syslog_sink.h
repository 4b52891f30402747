#pragma once

#include "startup/log_sink.h"

namespace orvel::startup {

// Writes through syslog(3) without openlog(): the identity and facility stay the host's.
class SyslogSink final : public LogSink {
 public:
  void write(std::string_view line) override;
};

}  // namespace orvel::startup
