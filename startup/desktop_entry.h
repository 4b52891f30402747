// A desktop entry file kept line by line, so that setting a few keys of its main group leaves
// everything else (comments, translations, other groups, the user's own keys) as it was.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvel::startup {

class DesktopEntry {
 public:
  // Nothing when the text has no [Desktop Entry] group: the session ignores such a file.
  static std::optional<DesktopEntry> parse(std::string_view text);
  // A file holding only the [Desktop Entry] group header.
  static DesktopEntry empty();

  // The keys of the main group with their values as written (still escaped), in file order.
  std::vector<std::pair<std::string, std::string>> entries() const;
  // The value of the last `key` line of the main group, as written.
  std::optional<std::string> value(std::string_view key) const;
  // "true" or "1", "false" or "0"; nothing for a missing key or any other value.
  std::optional<bool> boolean(std::string_view key) const;

  // Sets every `key` line of the main group, or adds one after its last key.
  void set(std::string_view key, std::string_view escapedValue);

  // The file's text, one '\n' after every line.
  std::string text() const;

 private:
  DesktopEntry(std::vector<std::string> lines, std::size_t groupBegin, std::size_t groupEnd);

  std::vector<std::string> lines_;
  // The main group's lines after its header: [groupBegin_, groupEnd_).
  std::size_t groupBegin_ = 0;
  std::size_t groupEnd_ = 0;
};

}  // namespace orvel::startup
