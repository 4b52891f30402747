#include "traineddata_tag.h"

#include <unicode/locdspnm.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace orvel::ocr {
namespace {

std::vector<std::string> split(const std::string& name, char separator = '_') {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = name.find(separator, start);
    parts.push_back(name.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

bool isAlnum(const std::string& s, std::size_t min, std::size_t max) {
  return s.size() >= min && s.size() <= max && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
         });
}

bool isAlpha(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

std::string titleCase(std::string s) {
  for (char& c : s)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (!s.empty()) s[0] = static_cast<char>(s[0] - 'a' + 'A');
  return s;
}

// Script suffixes that are not ISO 15924 codes themselves.
std::optional<std::string> scriptOf(const std::string& suffix) {
  if (suffix == "sim") return "Hans";
  if (suffix == "tra") return "Hant";
  if (suffix.size() != 4 || !isAlpha(suffix)) return std::nullopt;
  const std::string code = titleCase(suffix);
  if (u_getPropertyValueEnum(UCHAR_SCRIPT, code.c_str()) == UCHAR_INVALID_CODE) return std::nullopt;
  return code;
}

std::optional<std::string> privateUseTag(const std::string& name) {
  std::string compact;
  for (char c : name) {
    if (c != '_') compact += c;
  }
  if (!isAlnum(compact, 1, 8)) return std::nullopt;
  return "und-x-" + compact;
}

}  // namespace

std::optional<std::string> traineddataTag(const std::string& name) {
  if (name == "osd" || name == "equ") return std::nullopt;
  const std::vector<std::string> parts = split(name);
  const std::string& code = parts.front();
  if (code.size() < 2 || code.size() > 3 || !isAlpha(code)) return privateUseTag(name);

  const icu::Locale language = icu::Locale::createCanonical(code.c_str());
  std::string tag = language.getLanguage();
  if (tag.empty()) return privateUseTag(name);

  const std::optional<std::string> script =
      parts.size() > 1 ? scriptOf(parts[1]) : std::optional<std::string>();
  std::vector<std::string> extras;
  for (std::size_t i = script ? 2 : 1; i < parts.size(); ++i) {
    if (!isAlnum(parts[i], 1, 8)) return privateUseTag(name);
    extras.push_back(parts[i]);
  }

  if (script) {
    tag += "-" + *script;
  } else {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale likely(language);
    likely.addLikelySubtags(status);
    if (U_SUCCESS(status) && likely.getCountry()[0] != '\0')
      tag += std::string("-") + likely.getCountry();
  }
  if (!extras.empty()) {
    tag += "-x";
    for (const std::string& extra : extras)
      tag += "-" + extra;
  }
  return tag;
}

bool allLeftToRight(const std::string& models) {
  for (const std::string& model : split(models, '+')) {
    const std::optional<std::string> tag = traineddataTag(model);
    if (!tag) return false;
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale locale = icu::Locale::forLanguageTag(*tag, status);
    // The direction is the script's; an undetermined language ("und", read as no language) or one
    // without a known script has none, where likely subtags would take "und" for English.
    if (U_FAILURE(status) || *locale.getLanguage() == '\0') return false;
    locale.addLikelySubtags(status);
    if (U_FAILURE(status) || *locale.getScript() == '\0' || locale.isRightToLeft()) return false;
  }
  return true;
}

std::optional<std::string> localeDisplayName(const std::string& tag, const std::string& locale) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Locale subject = icu::Locale::forLanguageTag(tag, status);
  if (U_FAILURE(status)) return std::nullopt;
  const icu::Locale displayLocale(locale.c_str());

  // ICU substitutes codes for missing names; ask for the language alone without substitution to
  // learn whether the locale knows it at all.
  UDisplayContext context = UDISPCTX_NO_SUBSTITUTE;
  const std::unique_ptr<icu::LocaleDisplayNames> names(
      icu::LocaleDisplayNames::createInstance(displayLocale, &context, 1));
  if (!names) return std::nullopt;
  icu::UnicodeString languageName;
  names->languageDisplayName(subject.getLanguage(), languageName);
  if (languageName.isBogus() || languageName.isEmpty()) return std::nullopt;

  icu::UnicodeString full;
  subject.getDisplayName(displayLocale, full);
  std::string utf8;
  full.toUTF8String(utf8);
  return utf8;
}

}  // namespace orvel::ocr
