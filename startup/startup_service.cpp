#include "startup/startup_service.h"

#include <string>

#include "startup/startup_messages.h"

namespace orvel::startup {

StartupService::StartupService(platform::LoginItems& items, LogSink& log)
    : items_(items), log_(log) {}

std::int32_t StartupService::startupStatus() const {
  return static_cast<std::int32_t>(items_.status());
}

std::int32_t StartupService::startupSet(std::int32_t flag) {
  const auto error = flag != 0 ? items_.registerItem() : items_.unregisterItem();
  if (error) {
    log_.write(std::string(kLogPrefix) + error->message);
    return kChangeFailed;
  }
  return startupStatus();
}

}  // namespace orvel::startup
