// Every failure this library reports, worded once. Each is the description that follows
// "Orvel startup: " in the system log.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace orvel::startup {

inline constexpr std::string_view kLogPrefix = "Orvel startup: ";

inline constexpr std::string_view kUnknownExecutable =
    "cannot identify the main application's executable";
inline constexpr std::string_view kUnknownConfigFolder =
    "cannot find the configuration folder (neither XDG_CONFIG_HOME nor HOME names one)";

inline std::string pathCannotBeWritten(const std::filesystem::path& executable) {
  return "the path " + executable.string() +
         " cannot be written in a desktop entry (it is not UTF-8 or holds control characters)";
}

inline std::string cannotCreateFolder(const std::filesystem::path& folder, int error) {
  return "cannot create the folder " + folder.string() + ": " +
         std::generic_category().message(error);
}

inline std::string cannotWrite(const std::filesystem::path& file, int error) {
  return "cannot write " + file.string() + ": " + std::generic_category().message(error);
}

inline std::string cannotRemove(const std::filesystem::path& file, int error) {
  return "cannot remove " + file.string() + ": " + std::generic_category().message(error);
}

}  // namespace orvel::startup
