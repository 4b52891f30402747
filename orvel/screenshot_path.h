// Where a picture goes when the user names no file: $XDG_PICTURES_DIR when it is set to an
// absolute folder, else ~/Pictures, as Screenshot-YYYY-MM-DD-HHMMSS.png in local time, with -2,
// -3... before the extension when that name is taken. Pure logic, no I/O; any thread.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"

namespace orvel::cli {

struct PathEnvironment {
  std::optional<std::string> picturesDir;  // $XDG_PICTURES_DIR
  std::optional<std::string> home;         // $HOME
};

Expected<std::string, Failure> screenshotFolder(const PathEnvironment& environment);

// `exists` says whether a path is taken.
std::string screenshotPath(const std::string& folder, const std::tm& localTime,
                           const std::function<bool(const std::string&)>& exists);

}  // namespace orvel::cli
