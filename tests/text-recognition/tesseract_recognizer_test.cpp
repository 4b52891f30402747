// The real engine on pages rendered here. Small pages keep the whole set to a few seconds.
#include "tesseract_recognizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "messages.h"
#include "page_renderer.h"
#include "text_metrics.h"
#include "text_recognition_helper.h"

namespace orvel::ocr {
namespace {

using namespace orvel::ocr::testing;

class TesseractRecognizerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() / (std::string("orvel-ocr-") + info->name());
    std::filesystem::create_directories(dir_);
    TesseractRecognizer probe(TesseractRecognizer::defaultSettings());
    const auto languages = probe.supportedRecognitionLanguages();
    const auto* tags = std::get_if<std::vector<std::string>>(&languages);
    if (tags == nullptr || std::find(tags->begin(), tags->end(), "en-US") == tags->end()) {
      GTEST_SKIP() << "English language data (tesseract-ocr-eng) is not installed";
    }
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  RunResult run(const Page& page, const std::string& language = "en") {
    const std::string path = (dir_ / "page.png").string();
    EXPECT_TRUE(writePng(page, path));
    TesseractRecognizer recognizer(TesseractRecognizer::defaultSettings());
    return TextRecognitionHelper(recognizer).run({"helper", "recognize", path, language});
  }

  std::filesystem::path dir_;
};

TEST_F(TesseractRecognizerTest, ReadsAScreenshotInLightAndDarkMode) {
  for (const bool dark : {false, true}) {
    const Page page = screenshotPage(720, 300, dark);
    const RunResult result = run(page);
    ASSERT_EQ(result.exitStatus, kExitSuccess) << result.output.error.value_or("");
    ASSERT_TRUE(result.output.text);
    // White on a blue button, in either mode.
    EXPECT_NE(result.output.text->find("Share report"), std::string::npos);
    EXPECT_LT(characterErrorRate(expectedText(page), *result.output.text), 0.02)
        << (dark ? "dark" : "light") << ":\n"
        << *result.output.text;
  }
}

TEST_F(TesseractRecognizerTest, ReadsNumberedLinesWholeAndKeepsColumnsApart) {
  // Single-digit numbers one word space from their text, lined up down the page.
  const Page list = numberedPage(640, 290);
  const RunResult numbered = run(list);
  ASSERT_EQ(numbered.exitStatus, kExitSuccess) << numbered.output.error.value_or("");
  EXPECT_EQ(lineFidelity(expectedRows(list), *numbered.output.text), 1.0) << *numbered.output.text;

  // Labels far from their values, a sidebar beside them: each a line of its own.
  Page form{760, 120, 0xffffff, 0x1a1a1a, {{0, 0, 150, 120, 0xf0f0f0}}, {}};
  form.runs = {{16, 20, 14, "General"},      {180, 20, 14, "Display name"},
               {360, 20, 14, "Alex Morgan"}, {16, 70, 14, "Network"},
               {180, 70, 14, "Time zone"},   {360, 70, 14, "Europe/London"}};
  const RunResult settings = run(form);
  ASSERT_EQ(settings.exitStatus, kExitSuccess) << settings.output.error.value_or("");
  EXPECT_EQ(lineFidelity(expectedRows(form), *settings.output.text), 1.0) << *settings.output.text;
  EXPECT_EQ(linesOf(*settings.output.text).size(), 6u) << *settings.output.text;
}

TEST_F(TesseractRecognizerTest, LinesAcrossBandEdgesAreReadOnceInOrder) {
  Page page{360, 5000, 0xffffff, 0x202020, {}, {}};
  // Lines about 18 pixels tall straddling the band edges at 2400 and 4800 and the overlap edges at
  // 2272, 2528, 4672 and 4928, where a neighbouring band sees them cut.
  const double tops[] = {40, 2265, 2340, 2392, 2520, 4665, 4740, 4792, 4920, 4970};
  std::uint32_t seed = 3;
  for (const double top : tops)
    page.runs.push_back({20, top, 15, sentence(seed++, 3)});
  const RunResult result = run(page);
  ASSERT_EQ(result.exitStatus, kExitSuccess) << result.output.error.value_or("");
  const std::vector<std::string> expected = linesOf(expectedText(page));
  const std::vector<std::string> read = linesOf(*result.output.text);
  ASSERT_EQ(read.size(), expected.size()) << *result.output.text;
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_LE(editDistance(expected[i], read[i]), 2u) << expected[i] << " / " << read[i];
  }
}

TEST_F(TesseractRecognizerTest, EmptyImageGivesEmptyText) {
  const RunResult result = run(Page{300, 200, 0xffffff, 0, {}, {}});
  EXPECT_EQ(result.exitStatus, kExitSuccess);
  EXPECT_EQ(result.output.text, "");
  const RunResult dark = run(Page{300, 200, 0x101010, 0, {}, {}}, "system");
  EXPECT_EQ(dark.output.text, "");
}

TEST_F(TesseractRecognizerTest, SystemLanguageRecognisesWithTheLocaleAndEnglish) {
  Page page{400, 60, 0xffffff, 0x000000, {}, {{10, 20, 16, "System language reading"}}};
  const RunResult result = run(page, "system");
  ASSERT_EQ(result.exitStatus, kExitSuccess);
  EXPECT_EQ(result.output.text, "System language reading");
}

TEST_F(TesseractRecognizerTest, ReportsMissingLanguageData) {
  TesseractRecognizer recognizer({(dir_ / "empty").string(), "en_US"});
  const RunResult result = TextRecognitionHelper(recognizer).run({"helper", "languages"});
  EXPECT_EQ(result.exitStatus, kExitFailure);
  EXPECT_TRUE(result.output.error);

  std::filesystem::create_directories(dir_ / "empty");
  TesseractRecognizer none({(dir_ / "empty").string(), "en_US"});
  const RunResult listed = TextRecognitionHelper(none).run({"helper", "languages"});
  EXPECT_EQ(listed.exitStatus, kExitSuccess);
  EXPECT_TRUE(listed.output.languages->empty());

  // A file that is no language data is no language at all.
  const std::string page = (dir_ / "page.png").string();
  ASSERT_TRUE(writePng(Page{100, 40, 0xffffff, 0, {}, {}}, page));
  std::ofstream(dir_ / "empty" / "eng.traineddata") << "not a model";
  TesseractRecognizer foreign({(dir_ / "empty").string(), "en_US"});
  const RunResult unlisted =
      TextRecognitionHelper(foreign).run({"helper", "recognize", page, "en"});
  EXPECT_EQ(unlisted.exitStatus, kExitFailure);
  EXPECT_EQ(unlisted.output.error, kLanguageUnavailable);
}

}  // namespace
}  // namespace orvel::ocr
