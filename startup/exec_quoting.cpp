#include "startup/exec_quoting.h"

namespace orvel::startup {
namespace {

constexpr std::string_view kReservedInExec = " \t\n\"'\\><~|&;$*?#()`";
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

// Length of the UTF-8 sequence that starts with `lead`, or 0 when it cannot start one.
std::size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xc2 && lead <= 0xdf) return 2;
  if (lead >= 0xe0 && lead <= 0xef) return 3;
  if (lead >= 0xf0 && lead <= 0xf4) return 4;
  return 0;
}

bool isValidSequence(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  for (std::size_t i = 1; i < s.size(); ++i) {
    if ((byte(i) & 0xc0) != 0x80) return false;
  }
  // Overlong forms, UTF-16 surrogates and code points above U+10FFFF.
  if (s.size() == 3 && byte(0) == 0xe0 && byte(1) < 0xa0) return false;
  if (s.size() == 3 && byte(0) == 0xed && byte(1) > 0x9f) return false;
  if (s.size() == 4 && byte(0) == 0xf0 && byte(1) < 0x90) return false;
  if (s.size() == 4 && byte(0) == 0xf4 && byte(1) > 0x8f) return false;
  return true;
}

}  // namespace

bool isWritableInDesktopEntry(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x20 || lead == 0x7f) return false;
    const std::size_t length = sequenceLength(lead);
    if (length == 0 || i + length > text.size()) return false;
    if (!isValidSequence(text.substr(i, length))) return false;
    i += length;
  }
  return true;
}

std::string escapeStringValue(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    if (c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::optional<std::string> execValueFor(std::string_view program) {
  if (program.empty() || !isWritableInDesktopEntry(program)) return std::nullopt;
  const bool quoted = program.find_first_of(kReservedInExec) != std::string_view::npos;
  std::string argument;
  if (quoted) argument += '"';
  for (const char c : program) {
    if (quoted && kEscapedInQuotes.find(c) != std::string_view::npos) argument += '\\';
    if (c == '%') argument += '%';
    argument += c;
  }
  if (quoted) argument += '"';
  // The value's own escapes are undone before the quoting, so they are applied last.
  return escapeStringValue(argument);
}

}  // namespace orvel::startup
