// The few file operations the autostart entry needs, reporting failures as values.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/login_items.h"

namespace orvel::startup {

// The largest entry file read; anything longer is no entry of ours.
inline constexpr std::size_t kMaxEntryBytes = 64 * 1024;

// What sits at an entry's path. The path is read without following a symbolic link, without
// waiting on a FIFO or device, and only up to kMaxEntryBytes: anything but a readable regular file
// within that size is `Foreign`.
struct EntryFile {
  enum class Kind { Missing, Foreign, Text };
  Kind kind = Kind::Missing;
  std::string text;  // Kind::Text only
};
EntryFile readEntryFile(const std::filesystem::path& file);

// Creates `folder` and its missing parents, with mode 0700 as the XDG base directory rules ask.
std::optional<platform::LoginItemError> makeFolders(const std::filesystem::path& folder);

// Writes `contents` to a temporary file beside `file` and renames it into place, so a reader
// never sees a half-written file and a failure leaves the old one as it was.
std::optional<platform::LoginItemError> replaceFile(const std::filesystem::path& file,
                                                    std::string_view contents);

// Removes `file`; a file that is missing, or cannot exist because a parent is not a folder,
// counts as removed.
std::optional<platform::LoginItemError> removeFile(const std::filesystem::path& file);

}  // namespace orvel::startup
