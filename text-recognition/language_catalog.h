// The recognition languages installed as Tesseract data, under their BCP-47 tags.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace orvel::ocr {

struct InstalledLanguage {
  std::string tag;
  std::string traineddata;  // file name without ".traineddata"
};

class LanguageCatalog {
 public:
  // Names in any order; sorted by name so that a base model ("chi_sim") precedes its variants
  // ("chi_sim_vert"). A tag that two names share keeps the first and gives the others
  // "<tag>-x-<name>".
  explicit LanguageCatalog(std::vector<std::string> traineddataNames);

  // The ".traineddata" files directly inside the directory; absent when it cannot be read.
  static std::optional<LanguageCatalog> fromDirectory(const std::string& directory);

  const std::vector<InstalledLanguage>& languages() const { return languages_; }
  std::vector<std::string> tags() const;
  std::optional<std::string> traineddataFor(const std::string& tag) const;

  // What automatic detection recognises with, as Tesseract's "a+b" list: the installed languages of
  // the user's locale (ICU name such as "de_CH"), best script match first, then English. Falls back
  // to the first installed language; empty only when nothing is installed.
  std::string automaticLanguages(const std::string& locale) const;

 private:
  std::vector<InstalledLanguage> languages_;
};

}  // namespace orvel::ocr
