#include "language_catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tesseract_recognizer.h"
#include "traineddata_file.h"
#include "traineddata_header.h"
#include "traineddata_tag.h"

namespace orvel::ocr {
namespace {

TEST(TraineddataTagTest, DerivesBcp47TagsFromTesseractNames) {
  const std::pair<const char*, std::optional<std::string>> kTags[] = {
      {"eng", "en-US"},
      {"deu", "de-DE"},
      {"fra", "fr-FR"},
      {"jpn", "ja-JP"},
      {"chi_sim", "zh-Hans"},
      {"chi_tra", "zh-Hant"},
      {"srp_latn", "sr-Latn"},
      {"deu_latf", "de-Latf"},
      {"chi_sim_vert", "zh-Hans-x-vert"},
      {"jpn_vert", "ja-JP-x-vert"},
      {"ita_old", "it-IT-x-old"},
      {"snum", "und-x-snum"},
      {"osd", std::nullopt},
      {"equ", std::nullopt},
      {"name with spaces", std::nullopt},
  };
  for (const auto& [name, tag] : kTags)
    EXPECT_EQ(traineddataTag(name), tag) << name;
}

TEST(TraineddataTagTest, DisplayNamesFollowTheLocaleAndAreAbsentWhenUnknown) {
  EXPECT_EQ(localeDisplayName("en-US", "en_US"), "English (United States)");
  EXPECT_EQ(localeDisplayName("zh-Hans", "de_DE"), "Chinesisch (Vereinfacht)");
  EXPECT_EQ(localeDisplayName("und-x-snum", "en_US"), std::nullopt);
}

TEST(TraineddataTagTest, OnlyKnownLeftToRightLanguagesSkipTheReordering) {
  EXPECT_TRUE(allLeftToRight("eng"));
  EXPECT_TRUE(allLeftToRight("eng+deu+chi_sim+jpn_vert"));
  for (const char* models : {"ara", "heb", "fas", "urd", "yid", "eng+ara", "ara+eng"})
    EXPECT_FALSE(allLeftToRight(models)) << models;
  // Unplaceable names, data that are not languages, and a broken list keep the reordering.
  for (const char* models : {"zzz", "zzz_weird", "snum", "osd", "eng+", "", "eng++deu"})
    EXPECT_FALSE(allLeftToRight(models)) << models;
}

TEST(LanguageCatalogTest, SortsByNameSkipsNonLanguagesAndKeepsTagsUnique) {
  const LanguageCatalog catalog({"osd", "kur", "eng", "chi_sim_vert", "kmr", "chi_sim", "equ"});
  EXPECT_EQ(catalog.tags(), (std::vector<std::string>{"zh-Hans", "zh-Hans-x-vert", "en-US", "ku-TR",
                                                      "ku-TR-x-kur"}));
  EXPECT_EQ(catalog.traineddataFor("ku-TR-x-kur"), "kur");
  EXPECT_EQ(catalog.traineddataFor("zh-Hans"), "chi_sim");
  EXPECT_EQ(catalog.traineddataFor("zh"), std::nullopt);
}

TEST(LanguageCatalogTest, AutomaticLanguagesAreTheLocalesPlusEnglish) {
  const LanguageCatalog catalog(
      {"chi_sim", "chi_sim_vert", "chi_tra", "deu", "eng", "srp_latn", "fra"});
  EXPECT_EQ(catalog.automaticLanguages("de_DE"), "deu+eng");
  EXPECT_EQ(catalog.automaticLanguages("en_US_POSIX"), "eng");
  EXPECT_EQ(catalog.automaticLanguages("zh_TW"), "chi_tra+eng");
  EXPECT_EQ(catalog.automaticLanguages("zh_CN"), "chi_sim+eng");
  // Only the Latin model of Serbian is installed; a Cyrillic locale still gets it.
  EXPECT_EQ(catalog.automaticLanguages("sr_RS"), "srp_latn+eng");
  EXPECT_EQ(catalog.automaticLanguages("ja_JP"), "eng");

  EXPECT_EQ(LanguageCatalog({"fra", "deu"}).automaticLanguages("ja_JP"), "deu");
  EXPECT_EQ(LanguageCatalog({}).automaticLanguages("en_US"), "");
}

// The LSTM model and one more entry, each of `size` bytes.
std::vector<std::uint8_t> traineddata(std::uint32_t entries = 24, bool bigEndian = false,
                                      std::size_t size = 16) {
  return testing::traineddataOf({{1, std::string(size, 'u')}, {17, std::string(size, 'n')}},
                                entries, bigEndian);
}

bool reads(const std::vector<std::uint8_t>& file) {
  return readsAsTraineddata(file, file.size());
}

TEST(TraineddataHeaderTest, AcceptsOnlyAnOffsetTableThatFitsTheFileAndHoldsTheModel) {
  EXPECT_TRUE(reads(traineddata()));
  EXPECT_TRUE(reads(traineddata(24, /*bigEndian=*/true)));
  EXPECT_TRUE(reads(traineddata(30)));  // entries this engine does not know are skipped

  EXPECT_FALSE(reads({}));
  EXPECT_FALSE(reads({0, 0}));
  EXPECT_FALSE(reads(traineddata(0)));
  EXPECT_FALSE(reads(traineddata(17)));            // the table ends before the model's entry
  EXPECT_FALSE(reads(traineddata(24, false, 0)));  // the model's entry is empty
  const std::vector<std::uint8_t> whole = traineddata();
  for (const std::size_t cut : {std::size_t{3}, std::size_t{100}, whole.size() - 17}) {
    const std::vector<std::uint8_t> truncated(whole.begin(), whole.begin() + cut);
    EXPECT_FALSE(reads(truncated)) << cut;
  }
  // Offsets out of order, or pointing into the table itself.
  std::vector<std::uint8_t> backwards = whole;
  backwards[4 + 8 * 17] = 0;
  EXPECT_FALSE(reads(backwards));
  std::vector<std::uint8_t> intoTable = whole;
  std::fill_n(intoTable.begin() + 4 + 8, 8, 0);
  EXPECT_FALSE(reads(intoTable));
  std::vector<std::uint8_t> text(200, 'x');
  EXPECT_FALSE(reads(text));
}

TEST(TraineddataHeaderTest, TheInstalledEnglishDataReadsWholeButNotCut) {
  const std::filesystem::path english =
      std::filesystem::path(TesseractRecognizer::defaultSettings().dataDirectory) /
      "eng.traineddata";
  std::ifstream in(english, std::ios::binary);
  if (!in) GTEST_SKIP() << "no " << english;
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
  EXPECT_TRUE(reads(file));
  EXPECT_FALSE(readsAsTraineddata(file, file.size() / 2));
}

TEST(LanguageCatalogTest, ReadsOnlyTheLanguageDataFilesDirectlyInADirectory) {
  EXPECT_FALSE(LanguageCatalog::fromDirectory("/nonexistent/tessdata"));

  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "orvel-ocr-tessdata";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "script");
  std::filesystem::create_directories(dir / "fra.traineddata");
  const std::vector<std::uint8_t> model = traineddata();
  for (const char* file : {"eng.traineddata", "osd.traineddata", "deu.traineddata",
                           "script/Latin.traineddata", ".traineddata"}) {
    std::ofstream(dir / file, std::ios::binary)
        .write(reinterpret_cast<const char*>(model.data()), std::streamsize(model.size()));
  }
  // Empty, truncated and foreign files named as language data are not languages.
  std::ofstream(dir / "spa.traineddata");
  std::ofstream(dir / "ita.traineddata", std::ios::binary)
      .write(reinterpret_cast<const char*>(model.data()), 100);
  std::ofstream(dir / "por.traineddata") << "not a model";
  std::ofstream(dir / "notes.txt") << "x";
  const std::optional<LanguageCatalog> catalog = LanguageCatalog::fromDirectory(dir.string());
  std::filesystem::remove_all(dir);
  ASSERT_TRUE(catalog);
  EXPECT_EQ(catalog->tags(), (std::vector<std::string>{"de-DE", "en-US"}));
}

}  // namespace
}  // namespace orvel::ocr
