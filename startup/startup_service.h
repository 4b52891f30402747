// The two operations behind the exported functions, over any login-item service and log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/login_items.h"
#include "startup/log_sink.h"

namespace orvel::startup {

inline constexpr std::int32_t kChangeFailed = -1;

// `text` with its control characters written as \xNN, so that a log message stays one line
// whatever the paths in it hold.
std::string oneLine(std::string_view text);

class StartupService {
 public:
  StartupService(platform::LoginItems& items, LogSink& log);

  // The status as the host reads it; never logs.
  std::int32_t startupStatus() const;
  // Registers for a non-zero flag and unregisters for 0, whatever the current status, then
  // returns the status read afresh. A failure writes one log line and returns kChangeFailed.
  std::int32_t startupSet(std::int32_t flag);

 private:
  platform::LoginItems& items_;
  LogSink& log_;
};

}  // namespace orvel::startup
