#include "exec_line_parser.h"

namespace orvel::startup::testing {
namespace {

constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

std::optional<std::string> unescapeValue(std::string_view value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      text += value[i];
      continue;
    }
    if (++i == value.size()) return std::nullopt;
    switch (value[i]) {
      case 's':
        text += ' ';
        break;
      case 'n':
        text += '\n';
        break;
      case 't':
        text += '\t';
        break;
      case 'r':
        text += '\r';
        break;
      case '\\':
        text += '\\';
        break;
      default:
        return std::nullopt;
    }
  }
  return text;
}

std::optional<std::string> expandFieldCodes(std::string_view argument) {
  std::string expanded;
  for (std::size_t i = 0; i < argument.size(); ++i) {
    if (argument[i] == '%' && (++i == argument.size() || argument[i] != '%')) return std::nullopt;
    expanded += argument[i];
  }
  return expanded;
}

}  // namespace

std::optional<std::vector<std::string>> parseExecValue(std::string_view value) {
  const auto text = unescapeValue(value);
  if (!text) return std::nullopt;
  std::vector<std::string> arguments;
  std::size_t i = 0;
  while (i < text->size()) {
    const char c = (*text)[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      ++i;
      continue;
    }
    std::string argument;
    if (c == '"') {
      for (++i;; ++i) {
        if (i == text->size()) return std::nullopt;
        char inner = (*text)[i];
        if (inner == '"') break;
        if (inner == '\\') {
          if (++i == text->size()) return std::nullopt;
          inner = (*text)[i];
          if (std::string_view("\"`$\\").find(inner) == std::string_view::npos) return std::nullopt;
        }
        argument += inner;
      }
      ++i;
      if (i < text->size() &&
          std::string_view(" \t\n").find((*text)[i]) == std::string_view::npos) {
        return std::nullopt;
      }
    } else {
      for (;
           i < text->size() && std::string_view(" \t\n").find((*text)[i]) == std::string_view::npos;
           ++i) {
        if (kReserved.find((*text)[i]) != std::string_view::npos) return std::nullopt;
        argument += (*text)[i];
      }
    }
    const auto expanded = expandFieldCodes(argument);
    if (!expanded) return std::nullopt;
    arguments.push_back(*expanded);
  }
  return arguments;
}

std::optional<std::string> execLineOf(std::string_view entryText) {
  while (!entryText.empty()) {
    const std::size_t end = entryText.find('\n');
    const std::string_view line = entryText.substr(0, end);
    if (line.starts_with("Exec=")) return std::string(line.substr(5));
    if (end == std::string_view::npos) break;
    entryText.remove_prefix(end + 1);
  }
  return std::nullopt;
}

}  // namespace orvel::startup::testing
