#include "startup/syslog_sink.h"

#include <syslog.h>

#include <string>

namespace orvel::startup {

void SyslogSink::write(std::string_view line) {
  const std::string text(line);
  syslog(LOG_ERR, "%s", text.c_str());
}

}  // namespace orvel::startup
