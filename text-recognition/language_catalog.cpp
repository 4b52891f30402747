#include "language_catalog.h"

#include <unicode/locid.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>
#include <vector>

#include "traineddata_header.h"
#include "traineddata_tag.h"

namespace orvel::ocr {
namespace {

constexpr std::string_view kExtension = ".traineddata";
constexpr const char* kEnglish = "eng";

struct TagParts {
  std::string language;
  std::string script;
  bool privateUse = false;
};

TagParts partsOf(const std::string& tag) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Locale locale = icu::Locale::forLanguageTag(tag, status);
  return {locale.getLanguage(), locale.getScript(), tag.find("-x-") != std::string::npos};
}

bool holdsLanguageData(const std::filesystem::path& file) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error) return false;
  std::ifstream in(file, std::ios::binary);
  std::vector<std::uint8_t> head(std::min<std::uintmax_t>(size, kTraineddataHeaderBytes));
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  if (!in) return false;
  return readsAsTraineddata(head, size);
}

}  // namespace

LanguageCatalog::LanguageCatalog(std::vector<std::string> traineddataNames) {
  std::sort(traineddataNames.begin(), traineddataNames.end());
  std::set<std::string> used;
  for (const std::string& name : traineddataNames) {
    std::optional<std::string> tag = traineddataTag(name);
    if (!tag) continue;
    if (used.contains(*tag)) {
      tag = *tag + (tag->find("-x-") == std::string::npos ? "-x-" : "-");
      for (char c : name) {
        if (c != '_') *tag += c;
      }
      if (used.contains(*tag)) continue;
    }
    used.insert(*tag);
    languages_.push_back({*tag, name});
  }
}

std::optional<LanguageCatalog> LanguageCatalog::fromDirectory(const std::string& directory) {
  std::error_code error;
  std::filesystem::directory_iterator entries(directory, error);
  if (error) return std::nullopt;
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    const std::string file = entry.path().filename().string();
    if (file.size() > kExtension.size() && file.ends_with(kExtension) &&
        entry.is_regular_file(error) && holdsLanguageData(entry.path())) {
      names.push_back(file.substr(0, file.size() - kExtension.size()));
    }
  }
  return LanguageCatalog(std::move(names));
}

std::vector<std::string> LanguageCatalog::tags() const {
  std::vector<std::string> tags;
  for (const InstalledLanguage& language : languages_)
    tags.push_back(language.tag);
  return tags;
}

std::optional<std::string> LanguageCatalog::traineddataFor(const std::string& tag) const {
  for (const InstalledLanguage& language : languages_) {
    if (language.tag == tag) return language.traineddata;
  }
  return std::nullopt;
}

std::string LanguageCatalog::automaticLanguages(const std::string& locale) const {
  UErrorCode status = U_ZERO_ERROR;
  icu::Locale user(locale.c_str());
  user.addLikelySubtags(status);

  std::vector<std::string> chosen;
  const auto add = [&chosen](const std::string& name) {
    if (std::find(chosen.begin(), chosen.end(), name) == chosen.end()) chosen.push_back(name);
  };
  // The locale's language in its own script (zh_TW: Traditional Chinese), or in another script when
  // that is all there is; every extra model slows recognition, so no more than that. Variants such
  // as vertical text are left out.
  for (const bool sameScript : {true, false}) {
    if (!sameScript && !chosen.empty()) break;
    for (const InstalledLanguage& language : languages_) {
      const TagParts parts = partsOf(language.tag);
      if (parts.privateUse || parts.language != user.getLanguage()) continue;
      const bool scriptMatches = parts.script.empty() || parts.script == user.getScript();
      if (scriptMatches == sameScript) add(language.traineddata);
    }
  }
  const bool englishInstalled = std::any_of(
      languages_.begin(), languages_.end(),
      [](const InstalledLanguage& language) { return language.traineddata == kEnglish; });
  if (englishInstalled) add(kEnglish);
  if (chosen.empty() && !languages_.empty()) add(languages_.front().traineddata);

  std::string joined;
  for (const std::string& name : chosen)
    joined += (joined.empty() ? "" : "+") + name;
  return joined;
}

}  // namespace orvel::ocr
