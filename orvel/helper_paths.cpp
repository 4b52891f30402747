#include "helper_paths.h"

namespace orvel::cli {

std::string helperPath(const HelperName& helper, const std::string& programFolder,
                       const std::optional<std::string>& environmentValue,
                       const std::function<bool(const std::string&)>& executable) {
  if (environmentValue && !environmentValue->empty()) return *environmentValue;
  const std::string installed = programFolder + "/" ORVEL_HELPERS_FROM_BIN "/" + helper.file;
  for (const std::string& candidate :
       {programFolder + "/" + helper.file, installed,
        programFolder + "/../" + helper.folder + "/" + helper.file}) {
    if (executable(candidate)) return candidate;
  }
  return installed;
}

}  // namespace orvel::cli
