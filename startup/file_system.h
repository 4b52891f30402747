// The few file operations the autostart entry needs, reporting failures as values.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/login_items.h"

namespace orvel::startup {

// The whole file, or nothing when it cannot be read.
std::optional<std::string> readTextFile(const std::filesystem::path& file);

// Creates `folder` and its missing parents, with mode 0700 as the XDG base directory rules ask.
std::optional<platform::LoginItemError> makeFolders(const std::filesystem::path& folder);

// Writes `contents` to a temporary file beside `file` and renames it into place, so a reader
// never sees a half-written file and a failure leaves the old one as it was.
std::optional<platform::LoginItemError> replaceFile(const std::filesystem::path& file,
                                                    std::string_view contents);

// Removes `file`; a file that is already missing counts as removed.
std::optional<platform::LoginItemError> removeFile(const std::filesystem::path& file);

}  // namespace orvel::startup
