#include "helper_paths.h"

namespace orvel::cli {

std::string helperPath(const HelperName& helper, const std::string& programFolder,
                       const std::optional<std::string>& environmentValue,
                       const std::function<bool(const std::string&)>& executable) {
  if (environmentValue && !environmentValue->empty()) return *environmentValue;
  const std::string beside = programFolder + "/" + helper.file;
  for (const std::string& candidate :
       {beside, programFolder + "/../libexec/orvel/" + helper.file,
        programFolder + "/../" + helper.folder + "/" + helper.file}) {
    if (executable(candidate)) return candidate;
  }
  return beside;
}

}  // namespace orvel::cli
