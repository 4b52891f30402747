// Writing values into a desktop entry (XDG Desktop Entry format): the string escapes of every
// value and the quoting of Exec arguments.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvel::startup {

// True when `text` is UTF-8 without control characters, which every value of an entry must be.
bool isWritableInDesktopEntry(std::string_view text);

// The value's escapes: a backslash is written "\\".
std::string escapeStringValue(std::string_view text);

// The Exec value (escaped for the file) that runs `program` with no arguments: quoted when it
// holds a reserved character, '"', '`', '$' and '\' backslash-escaped inside the quotes, '%'
// written "%%". Nothing when `program` is not writable in an entry.
std::optional<std::string> execValueFor(std::string_view program);

}  // namespace orvel::startup
