// Tesseract names its language data after ISO 639-2 codes with optional suffixes ("eng", "chi_sim",
// "aze_cyrl", "chi_sim_vert"); the helper reports BCP-47 tags instead.
#pragma once

#include <optional>
#include <string>

namespace orvel::ocr {

// "eng" -> "en-US", "deu" -> "de-DE", "chi_sim" -> "zh-Hans", "srp_latn" -> "sr-Latn",
// "chi_sim_vert" -> "zh-Hans-x-vert", "ita_old" -> "it-IT-x-old". A name whose language ICU cannot
// canonicalize becomes "und-x-<name>" when the name fits a private-use subtag. Absent for the data
// that are not languages ("osd", "equ") and for names that cannot be written as a tag.
std::optional<std::string> traineddataTag(const std::string& name);

// Whether every model of Tesseract's "a+b" list is of a language written left to right
// ("eng+deu"). A model whose script ICU cannot tell counts as right to left, so that its lines keep
// the bidirectional reordering.
bool allLeftToRight(const std::string& models);

// The tag's name in the given ICU locale ("de_DE"), absent when the locale has no name for its
// language.
std::optional<std::string> localeDisplayName(const std::string& tag, const std::string& locale);

}  // namespace orvel::ocr
