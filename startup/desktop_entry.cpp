#include "startup/desktop_entry.h"

namespace orvel::startup {
namespace {

constexpr std::string_view kMainGroup = "[Desktop Entry]";
constexpr std::string_view kSpace = " \t\r";

std::string_view trimmed(std::string_view s) {
  const std::size_t first = s.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kSpace) - first + 1);
}

bool isGroupHeader(std::string_view line) {
  return trimmed(line).starts_with('[');
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

// Blank lines, comments and lines without '=' hold no key.
std::optional<KeyLine> keyLine(std::string_view line) {
  const std::string_view content = trimmed(line);
  if (content.empty() || content.starts_with('#')) return std::nullopt;
  const std::size_t equals = content.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return KeyLine{trimmed(content.substr(0, equals)), trimmed(content.substr(equals + 1))};
}

}  // namespace

DesktopEntry::DesktopEntry(std::vector<std::string> lines, std::size_t groupBegin,
                           std::size_t groupEnd)
    : lines_(std::move(lines)), groupBegin_(groupBegin), groupEnd_(groupEnd) {}

std::optional<DesktopEntry> DesktopEntry::parse(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    lines.emplace_back(text.substr(0, newline));
    text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (trimmed(lines[i]) != kMainGroup) continue;
    std::size_t end = i + 1;
    while (end < lines.size() && !isGroupHeader(lines[end]))
      ++end;
    return DesktopEntry(std::move(lines), i + 1, end);
  }
  return std::nullopt;
}

DesktopEntry DesktopEntry::empty() {
  return DesktopEntry({std::string(kMainGroup)}, 1, 1);
}

std::vector<std::pair<std::string, std::string>> DesktopEntry::entries() const {
  std::vector<std::pair<std::string, std::string>> result;
  for (std::size_t i = groupBegin_; i < groupEnd_; ++i) {
    if (const auto line = keyLine(lines_[i])) result.emplace_back(line->key, line->value);
  }
  return result;
}

std::optional<std::string> DesktopEntry::value(std::string_view key) const {
  std::optional<std::string> found;
  for (std::size_t i = groupBegin_; i < groupEnd_; ++i) {
    const auto line = keyLine(lines_[i]);
    if (line && line->key == key) found = std::string(line->value);
  }
  return found;
}

std::optional<bool> DesktopEntry::boolean(std::string_view key) const {
  const auto text = value(key);
  if (text == "true" || text == "1") return true;
  if (text == "false" || text == "0") return false;
  return std::nullopt;
}

void DesktopEntry::set(std::string_view key, std::string_view escapedValue) {
  std::string line = std::string(key) + "=" + std::string(escapedValue);
  std::size_t insertAt = groupBegin_;
  bool replaced = false;
  for (std::size_t i = groupBegin_; i < groupEnd_; ++i) {
    const auto existing = keyLine(lines_[i]);
    if (!existing) continue;
    insertAt = i + 1;
    if (existing->key != key) continue;
    lines_[i] = line;
    replaced = true;
  }
  if (replaced) return;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
  ++groupEnd_;
}

std::string DesktopEntry::text() const {
  std::string result;
  for (const auto& line : lines_) {
    result += line;
    result += '\n';
  }
  return result;
}

}  // namespace orvel::startup
