#include "screenshot_path.h"

#include <cstdio>

namespace orvel::cli {

namespace {

bool absolute(const std::optional<std::string>& path) {
  return path && !path->empty() && (*path)[0] == '/';
}

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

}  // namespace

Expected<std::string, Failure> screenshotFolder(const PathEnvironment& environment) {
  // A relative XDG_PICTURES_DIR is invalid (XDG base directories are absolute) and ignored.
  if (absolute(environment.picturesDir)) return withoutTrailingSlashes(*environment.picturesDir);
  if (absolute(environment.home)) return withoutTrailingSlashes(*environment.home) + "/Pictures";
  return failed("Cannot choose a folder for the picture: HOME is not set. Name a file with -o.");
}

std::string screenshotPath(const std::string& folder, const std::tm& t,
                           const std::function<bool(const std::string&)>& exists) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "Screenshot-%04d-%02d-%02d-%02d%02d%02d", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  const std::string base = (folder == "/" ? "" : folder) + "/" + stamp;
  std::string path = base + ".png";
  for (int n = 2; exists(path); ++n)
    path = base + "-" + std::to_string(n) + ".png";
  return path;
}

}  // namespace orvel::cli
