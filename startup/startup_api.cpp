// The library's two exports. Each call gathers the process's environment afresh, so the library
// holds no state between calls.
#include <exception>
#include <string>

#include "orvel/startup.h"
#include "platform/login_items.h"
#include "startup/startup_messages.h"
#include "startup/startup_service.h"
#include "startup/syslog_sink.h"
#include "startup/xdg_autostart.h"

using orvel::startup::StartupService;
using orvel::startup::SyslogSink;
using orvel::startup::XdgAutostart;
using orvel::startup::XdgEnvironment;

extern "C" int32_t orvel_startup_status(void) {
  try {
    XdgAutostart items(XdgEnvironment::ofThisProcess());
    SyslogSink log;
    return StartupService(items, log).startupStatus();
  } catch (const std::exception&) {
    // Only an allocation can fail here; the status cannot be told.
    return static_cast<int32_t>(orvel::platform::LoginItemStatus::kNotFound);
  }
}

extern "C" int32_t orvel_startup_set(int32_t flag) {
  SyslogSink log;
  try {
    XdgAutostart items(XdgEnvironment::ofThisProcess());
    return StartupService(items, log).startupSet(flag);
  } catch (const std::exception& error) {
    log.write(std::string(orvel::startup::kLogPrefix) + error.what());
    return orvel::startup::kChangeFailed;
  }
}
