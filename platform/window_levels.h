// The window levels every desktop maps its window kinds to, from the back to the front.
#pragma once

#include <cstdint>

namespace orvel::platform {

inline constexpr std::int64_t kNormalWindowLevel = 0;
inline constexpr std::int64_t kAboveWindowLevel = 3;
inline constexpr std::int64_t kDockWindowLevel = 20;
inline constexpr std::int64_t kNotificationWindowLevel = kDockWindowLevel + 1;
inline constexpr std::int64_t kPopupWindowLevel = 101;
inline constexpr std::int64_t kCursorWindowLevel = 2147483630;

}  // namespace orvel::platform
