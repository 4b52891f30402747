// The real engine on the benchmark's pages: recognised in parts on several engines, each page reads
// exactly as one engine reads it band by band.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "page_renderer.h"
#include "tesseract_recognizer.h"
#include "text_recognition_helper.h"

namespace orvel::ocr {
namespace {

using namespace orvel::ocr::testing;

struct BenchmarkPage {
  const char* name;
  Page (*draw)();
};

// Test names and messages show the page's name.
void PrintTo(const BenchmarkPage& page, std::ostream* out) {
  *out << page.name;
}

class ParallelEqualityTest : public ::testing::TestWithParam<BenchmarkPage> {
 protected:
  void SetUp() override {
    TesseractRecognizer probe(TesseractRecognizer::defaultSettings());
    const auto languages = probe.supportedRecognitionLanguages();
    const auto* tags = std::get_if<std::vector<std::string>>(&languages);
    if (tags == nullptr || std::find(tags->begin(), tags->end(), "en-US") == tags->end()) {
      GTEST_SKIP() << "English language data (tesseract-ocr-eng) is not installed";
    }
    path_ = std::filesystem::temp_directory_path() /
            (std::string("orvel-ocr-parts-") + GetParam().name + ".png");
    ASSERT_TRUE(writePng(GetParam().draw(), path_.string()));
  }
  void TearDown() override { std::filesystem::remove(path_); }

  RunResult run(int engines) {
    TesseractRecognizer recognizer(TesseractRecognizer::defaultSettings());
    return TextRecognitionHelper(recognizer, engines)
        .run({"helper", "recognize", path_.string(), "en"});
  }

  std::filesystem::path path_;
};

TEST_P(ParallelEqualityTest, PartsOnSeveralEnginesReadAsOneEngine) {
  const RunResult one = run(1);
  ASSERT_EQ(one.exitStatus, kExitSuccess) << one.output.error.value_or("");
  ASSERT_TRUE(one.output.text);
  EXPECT_GT(one.output.text->size(), 300u);
  for (const int engines : {2, 4}) {
    const RunResult parts = run(engines);
    ASSERT_EQ(parts.exitStatus, kExitSuccess) << parts.output.error.value_or("");
    EXPECT_EQ(parts.output.text, one.output.text) << engines << " engines";
  }
}

INSTANTIATE_TEST_SUITE_P(
    BenchmarkPages, ParallelEqualityTest,
    ::testing::Values(BenchmarkPage{"screenshot", [] { return screenshotPage(1920, 1080, false); }},
                      BenchmarkPage{"dark", [] { return screenshotPage(1920, 1080, true); }},
                      BenchmarkPage{"numbered", [] { return numberedPage(900, 2700); }},
                      BenchmarkPage{"settings", [] { return settingsPage(1440, 900); }},
                      BenchmarkPage{"tall", [] { return tallPage(1200, 6000, 20, 30); }}),
    [](const ::testing::TestParamInfo<BenchmarkPage>& info) { return info.param.name; });

}  // namespace
}  // namespace orvel::ocr
