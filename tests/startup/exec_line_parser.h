// Reads an Exec value back as a launcher does, written from the XDG Desktop Entry format and
// independently of the library's writer. Strict: whatever the format does not allow is refused,
// so a fault in the writer shows up as a failed parse rather than a lucky match.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvel::startup::testing {

// The arguments of an Exec value as written in the file (value escapes, then quoting, then
// "%%"). Other field codes are refused: an entry for a plain program holds none.
std::optional<std::vector<std::string>> parseExecValue(std::string_view value);

// The value of the first "Exec=" line of an entry's text.
std::optional<std::string> execLineOf(std::string_view entryText);

}  // namespace orvel::startup::testing
