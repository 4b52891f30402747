#include "engine_count.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace orvel::ocr {

int engineCount(const char* setting, unsigned cores) {
  if (setting != nullptr) {
    int value = 0;
    const char* end = setting + std::strlen(setting);
    const auto [at, error] = std::from_chars(setting, end, value);
    if (error == std::errc() && at == end && value >= 1 && value <= kMaxEngines) return value;
  }
  return static_cast<int>(std::clamp(cores, 1u, static_cast<unsigned>(kDefaultMaxEngines)));
}

}  // namespace orvel::ocr
