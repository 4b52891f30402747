// `orvel text IMAGE` end to end: orvel runs text-recognition-helper on a page of known text and
// prints the text, or the helper's JSON; a missing image fails with the helper's message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "helper_process.h"
#include "orvel/common/json_text.h"
#include "page_renderer.h"

namespace orvel::cli {
namespace {

using namespace std::chrono_literals;

struct Outcome {
  std::string out;
  std::optional<int> status;
};

Outcome orvelText(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {
      "/usr/bin/env", std::string("ORVEL_TEXT_HELPER=") + ORVEL_TEXT_HELPER, ORVEL_COMMAND, "text"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  auto orvel = HelperProcess::start(argv);
  if (!orvel) return {orvel.error().description, std::nullopt};
  (*orvel)->closeInput();
  Outcome run;
  EXPECT_EQ((*orvel)->readAll(run.out, 120s), ReadEnd::kDone);
  run.status = (*orvel)->wait(10s);
  return run;
}

TEST(OrvelText, PrintsTheTextOfAnImageOrTheHelpersJson) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("orvel-text-" + std::to_string(::getpid()) + ".png"))
                               .string();
  ocr::testing::Page page{.width = 700, .height = 160};
  page.runs = {{.x = 30, .top = 30, .size = 28, .text = "Scrolling pages"},
               {.x = 30, .top = 90, .size = 28, .text = "stitched into one"}};
  ASSERT_TRUE(ocr::testing::writePng(page, path));

  const Outcome plain = orvelText({"--lang", "en", path});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out, "Scrolling pages\nstitched into one\n");

  const Outcome json = orvelText({"--json", "--lang=en", path});
  EXPECT_EQ(json.status, 0);
  const auto parsed = parseJson(json.out);
  ASSERT_TRUE(parsed && parsed->is_object()) << json.out;
  EXPECT_EQ((*parsed)["text"], "Scrolling pages\nstitched into one");

  std::filesystem::remove(path);
  const Outcome missing = orvelText({path});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
}

}  // namespace
}  // namespace orvel::cli
