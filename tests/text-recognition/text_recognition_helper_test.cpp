#include "text_recognition_helper.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "band.h"
#include "fake_recognizer.h"
#include "language_matcher.h"
#include "messages.h"

namespace orvel::ocr {
namespace {

using testing::FakeRecognizer;
using testing::PlacedLine;

RunResult recognize(FakeRecognizer& fake, int width, int height,
                    const std::string& language = "en-US") {
  fake.languages = std::vector<std::string>{"en-US"};
  fake.images["page.png"] = {width, height};
  TextRecognitionHelper helper(fake);
  return helper.run({"helper", "recognize", "page.png", language});
}

TEST(BandsTest, CoverTheImageWithOverlappingStretches) {
  EXPECT_TRUE(bandsFor(800, 0).empty());

  const auto one = bandsFor(800, 2400);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].rect, (platform::PixelRect{0, 0, 800, 2400}));

  const auto two = bandsFor(800, 2401);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].rect, (platform::PixelRect{0, 0, 800, 2401}));
  EXPECT_EQ(two[1].rect, (platform::PixelRect{0, 2272, 800, 129}));
  EXPECT_TRUE(two[1].owns(2400));
  EXPECT_FALSE(two[1].owns(2401));

  const auto three = bandsFor(10, 7000);
  ASSERT_EQ(three.size(), 3u);
  EXPECT_EQ(three[1].rect, (platform::PixelRect{0, 2272, 10, 2656}));
  EXPECT_EQ(three[2].rect, (platform::PixelRect{0, 4672, 10, 2328}));

  // Wider than the engine takes: tiles side by side, the last one narrower.
  const auto wide = bandsFor(200000, 1);
  ASSERT_EQ(wide.size(), 7u);
  EXPECT_EQ(wide[0].rect, (platform::PixelRect{0, 0, kMaxBandWidth, 1}));
  EXPECT_EQ(wide[6].rect, (platform::PixelRect{192000, 0, 8000, 1}));
  EXPECT_TRUE(wide[6].owns(0));
  EXPECT_TRUE(bandsFor(0, 10).empty());
}

TEST(TextRecognitionHelperTest, EachLineBelongsToTheBandHoldingItsCentre) {
  FakeRecognizer fake;
  fake.tagTextWithBand = true;
  // Every line lies in both bands' rectangles; the centre decides which band keeps it.
  fake.lines = {{2400, 0.1, "edge"}, {2399.5, 0.9, "above"}, {2300, 0.5, "overlap"}};
  const RunResult result = recognize(fake, 600, 2401);
  EXPECT_EQ(result.exitStatus, kExitSuccess);
  EXPECT_EQ(result.output.text, "overlap@0\nabove@0\nedge@2272");
  EXPECT_EQ(fake.recognized.size(), 2u);

  FakeRecognizer single;
  single.lines = {{2399.5, 0.1, "last"}};
  EXPECT_EQ(recognize(single, 600, 2400).output.text, "last");
  EXPECT_EQ(single.recognized, (std::vector<platform::PixelRect>{{0, 0, 600, 2400}}));
}

TEST(TextRecognitionHelperTest, OrdersByExactRowThenLeftEdgeKeepingTies) {
  FakeRecognizer fake;
  // Rows at nearly equal heights are ordered by height alone, whatever their left edges.
  fake.lines = {{100, 0.6, "right"},        {100, 0.2, "left"},    {99, 0.95, "higher"},
                {300, 0.5, "first"},        {300, 0.5, "second"},  {5000, 0.0, "third band"},
                {2500, 0.3, "second band"}, {400.5, 0.1, "label"}, {400.25, 0.7, "value"}};
  EXPECT_EQ(recognize(fake, 600, 5200).output.text,
            "higher\nleft\nright\nfirst\nsecond\nvalue\nlabel\nsecond band\nthird band");
}

TEST(TextRecognitionHelperTest, SkipsLinesWithoutCandidatesAndBandsThatCannotBeCropped) {
  FakeRecognizer fake;
  fake.lines = {{10, 0, "kept"}, {20, 0, "no candidate", false}, {3000, 0, "lost with band"}};
  fake.uncroppableTops = {2272};
  const RunResult result = recognize(fake, 100, 4000);
  EXPECT_EQ(result.exitStatus, kExitSuccess);
  EXPECT_EQ(result.output.text, "kept");
}

TEST(TextRecognitionHelperTest, ImageWithoutTextOrHeightGivesEmptyText) {
  FakeRecognizer blank;
  const RunResult empty = recognize(blank, 100, 100);
  EXPECT_EQ(empty.exitStatus, kExitSuccess);
  EXPECT_EQ(empty.output.text, "");

  FakeRecognizer flat;
  EXPECT_EQ(recognize(flat, 100, 0).output.text, "");
  EXPECT_TRUE(flat.recognized.empty());
}

TEST(TextRecognitionHelperTest, EngineFailureOnALaterBandDropsEarlierLines) {
  FakeRecognizer fake;
  fake.lines = {{10, 0, "early"}};
  fake.failingTop = 2272;
  const RunResult result = recognize(fake, 100, 3000);
  EXPECT_EQ(result.exitStatus, kExitFailure);
  EXPECT_EQ(result.output.error, "engine failed");
  EXPECT_FALSE(result.output.text);
}

TEST(TextRecognitionHelperTest, AMissingFileAndAFileWithoutAPictureSayWhich) {
  FakeRecognizer fake;
  fake.languages = std::vector<std::string>{"en-US"};
  TextRecognitionHelper helper(fake);
  const auto folder =
      std::filesystem::temp_directory_path() / ("orvel-ocr-missing-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string missing = (folder / "notes.png").string();
  RunResult result = helper.run({"helper", "recognize", missing, "en-US"});
  EXPECT_EQ(result.exitStatus, kExitFailure);
  EXPECT_EQ(result.output.error, kImageMissing);
  result = helper.run({"helper", "recognize", missing + "/below", "en-US"});
  EXPECT_EQ(result.output.error, kImageMissing);

  // The fake reads no file: whatever exists there is not a picture for it.
  std::ofstream(folder / "notes.txt") << "plain text";
  for (const auto& present : {folder / "notes.txt", folder}) {
    result = helper.run({"helper", "recognize", present.string(), "en-US"});
    EXPECT_EQ(result.exitStatus, kExitFailure);
    EXPECT_EQ(result.output.error, kNotAnImage) << present;
  }
  std::filesystem::remove_all(folder);
}

TEST(TextRecognitionHelperTest, MalformedCommandLinesAreRejected) {
  const std::vector<std::vector<std::string>> malformed = {
      {"helper"},
      {"helper", "languages", "en"},
      {"helper", "recognize", "page.png"},
      {"helper", "recognize", "page.png", "en", "extra"},
      {"helper", "Recognize", "page.png", "en"},
      {"helper", "LANGUAGES"},
      {"helper", "page.png", "recognize", "en"},
  };
  for (const auto& args : malformed) {
    FakeRecognizer fake;
    fake.images["page.png"] = {10, 10};
    TextRecognitionHelper helper(fake);
    const RunResult result = helper.run(args);
    EXPECT_EQ(result.exitStatus, kExitMalformed) << args.size();
    EXPECT_EQ(result.output.error, kRecognitionUnavailable);
    EXPECT_TRUE(fake.recognized.empty());
  }
}

TEST(TextRecognitionHelperTest, LanguageQueryFailureWinsOverAnyCommandLine) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"helper", "languages"}, std::vector<std::string>{"helper"}}) {
    FakeRecognizer fake;
    fake.languages = platform::RecognizerFailure{"no data"};
    TextRecognitionHelper helper(fake);
    const RunResult result = helper.run(args);
    EXPECT_EQ(result.exitStatus, kExitFailure);
    EXPECT_EQ(result.output.error, "no data");
  }
}

TEST(TextRecognitionHelperTest, ListsLanguagesInEngineOrderWithNamesOrIdentifiers) {
  FakeRecognizer fake;
  fake.languages = std::vector<std::string>{"zh-Hans", "en-US", "und-x-snum"};
  fake.names = {{"zh-Hans", "Chinese (Simplified)"}, {"en-US", "English (United States)"}};
  TextRecognitionHelper helper(fake);
  const RunResult result = helper.run({"helper", "languages"});
  EXPECT_EQ(result.exitStatus, kExitSuccess);
  ASSERT_TRUE(result.output.languages);
  const auto& list = *result.output.languages;
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].tag, "zh-Hans");
  EXPECT_EQ(list[0].name, "Chinese (Simplified)");
  EXPECT_EQ(list[2].name, "und-x-snum");
  EXPECT_FALSE(result.output.text);
  EXPECT_FALSE(result.output.error);

  FakeRecognizer none;
  EXPECT_EQ(TextRecognitionHelper(none).run({"helper", "languages"}).output.languages->size(), 0u);
}

TEST(LanguageMatcherTest, CaseInsensitiveEqualityOrCaseSensitivePrefixFirstInListOrder) {
  const std::vector<std::string> supported = {"fr-FR", "en-GB", "en-US", "en", "zh-Hans"};
  EXPECT_EQ(matchLanguage(supported, "EN-us"), "en-US");
  EXPECT_EQ(matchLanguage(supported, "en"), "en-GB");
  EXPECT_EQ(matchLanguage(supported, "En"), "en");
  EXPECT_EQ(matchLanguage(supported, "zh"), "zh-Hans");
  EXPECT_EQ(matchLanguage({"en-US"}, "En"), std::nullopt);
  EXPECT_EQ(matchLanguage(supported, "e"), std::nullopt);
  EXPECT_EQ(matchLanguage(supported, "en-"), std::nullopt);
  EXPECT_EQ(matchLanguage(supported, ""), std::nullopt);
}

TEST(TextRecognitionHelperTest, SystemDetectsAutomaticallyOnlyWhenSpelledExactly) {
  FakeRecognizer automatic;
  EXPECT_EQ(recognize(automatic, 10, 10, "system").exitStatus, kExitSuccess);
  EXPECT_EQ(automatic.automatic, true);
  EXPECT_FALSE(automatic.recognitionLanguages);

  FakeRecognizer capitalised;
  const RunResult result = recognize(capitalised, 10, 10, "System");
  EXPECT_EQ(result.exitStatus, kExitFailure);
  EXPECT_EQ(result.output.error, kLanguageUnavailable);
  EXPECT_FALSE(capitalised.automatic);

  FakeRecognizer matched;
  EXPECT_EQ(recognize(matched, 10, 10, "EN-us").exitStatus, kExitSuccess);
  EXPECT_EQ(matched.recognitionLanguages, std::vector<std::string>{"en-US"});
}

TEST(TextRecognitionHelperTest, LanguageIsCheckedBeforeTheImageIsRead) {
  FakeRecognizer fake;
  fake.languages = std::vector<std::string>{"en-US"};
  TextRecognitionHelper helper(fake);
  const RunResult result = helper.run({"helper", "recognize", "missing.png", "fr"});
  EXPECT_EQ(result.output.error, kLanguageUnavailable);
}

}  // namespace
}  // namespace orvel::ocr
