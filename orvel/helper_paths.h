// Where orvel finds the helpers: the path in the helper's environment variable when set
// (ORVEL_SCROLL_HELPER, ORVEL_REGION_HELPER, ORVEL_TEXT_HELPER), else the first that exists of
// beside orvel itself, the install's helper folder from there (../libexec/orvel/, as the build
// was configured), and ../<source folder>/ from there (orvel run from its build tree). Pure
// logic; the caller supplies the file checks.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace orvel::cli {

struct HelperName {
  const char* file;            // scroll-capture-helper
  const char* folder;          // its folder in the build tree
  const char* environmentKey;  // ORVEL_SCROLL_HELPER
};

inline constexpr HelperName kScrollHelper{"scroll-capture-helper", "scroll-capture",
                                          "ORVEL_SCROLL_HELPER"};
inline constexpr HelperName kRegionHelper{"region-capture-helper", "region-capture",
                                          "ORVEL_REGION_HELPER"};
inline constexpr HelperName kTextHelper{"text-recognition-helper", "text-recognition",
                                        "ORVEL_TEXT_HELPER"};

// `programFolder`: the folder of orvel's own executable. Falls back to the installed place, so
// that the failure to start it names where it was expected.
std::string helperPath(const HelperName& helper, const std::string& programFolder,
                       const std::optional<std::string>& environmentValue,
                       const std::function<bool(const std::string&)>& executable);

}  // namespace orvel::cli
