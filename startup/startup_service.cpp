#include "startup/startup_service.h"

#include <cstdio>
#include <string>

#include "startup/startup_messages.h"

namespace orvel::startup {

std::string oneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7f) {
      out += c;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    }
  }
  return out;
}

StartupService::StartupService(platform::LoginItems& items, LogSink& log)
    : items_(items), log_(log) {}

std::int32_t StartupService::startupStatus() const {
  return static_cast<std::int32_t>(items_.status());
}

std::int32_t StartupService::startupSet(std::int32_t flag) {
  const auto error = flag != 0 ? items_.registerItem() : items_.unregisterItem();
  if (error) {
    log_.write(std::string(kLogPrefix) + oneLine(error->description));
    return kChangeFailed;
  }
  return startupStatus();
}

}  // namespace orvel::startup
