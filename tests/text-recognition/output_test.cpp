#include "output.h"

#include <gtest/gtest.h>

#include <sstream>

namespace orvel::ocr {
namespace {

std::string emitted(const Output& output) {
  std::ostringstream out;
  emit(output, out);
  return out.str();
}

TEST(OutputTest, WritesOnlyThePresentFieldCompactWithoutLineFeed) {
  Output text;
  text.text = "first line\nsecond \"quoted\"";
  EXPECT_EQ(emitted(text), R"({"text":"first line\nsecond \"quoted\""})");

  Output empty;
  empty.text = "";
  EXPECT_EQ(emitted(empty), R"({"text":""})");

  Output error;
  error.error = "Text recognition is unavailable.";
  EXPECT_EQ(emitted(error), R"({"error":"Text recognition is unavailable."})");

  Output languages;
  languages.languages = std::vector<Language>{{"de-DE", "Deutsch (Deutschland)"}};
  const std::string json = emitted(languages);
  EXPECT_EQ(json, R"j({"languages":[{"name":"Deutsch (Deutschland)","tag":"de-DE"}]})j");
  EXPECT_EQ(json.find("null"), std::string::npos);

  Output noLanguages;
  noLanguages.languages = std::vector<Language>{};
  EXPECT_EQ(emitted(noLanguages), R"({"languages":[]})");
}

TEST(OutputTest, WritesNothingWhenTextIsNotUtf8) {
  Output broken;
  broken.text = std::string("caf\xe9");
  EXPECT_FALSE(encode(broken));
  EXPECT_EQ(emitted(broken), "");

  Output unicode;
  unicode.text = "caf\xc3\xa9 \xe6\x96\x87";
  EXPECT_EQ(emitted(unicode), "{\"text\":\"caf\xc3\xa9 \xe6\x96\x87\"}");
}

}  // namespace
}  // namespace orvel::ocr
