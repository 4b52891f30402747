// The built executable: exit statuses and the exact bytes on standard output.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "page_renderer.h"
#include "shell_command.h"

namespace {

using Process = orvel::testing::CommandOutput;

Process runHelper(const std::string& arguments) {
  return orvel::testing::runShellCommand(std::string(ORVEL_OCR_HELPER) + " " + arguments +
                                         " 2>/dev/null");
}

TEST(HelperProcessTest, ExitStatusesAndOutputBytes) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "orvel-ocr-process";
  std::filesystem::create_directories(dir);
  const std::string notes = (dir / "notes.txt").string();
  std::ofstream(notes) << "not an image\n";
  const std::string page = (dir / "page.png").string();
  ASSERT_TRUE(orvel::ocr::testing::writePng(
      {300, 50, 0xffffff, 0, {}, {{10, 12, 18, "Hello there"}}}, page));

  const Process malformed = runHelper("recognize " + page);
  EXPECT_EQ(malformed.status, 2);
  EXPECT_EQ(malformed.out, R"({"error":"Text recognition is unavailable."})");
  EXPECT_EQ(runHelper("languages en").status, 2);
  EXPECT_EQ(runHelper("").status, 2);

  const Process notImage = runHelper("recognize " + notes + " en");
  EXPECT_EQ(notImage.status, 1);
  EXPECT_EQ(notImage.out, R"({"error":"The file is not a readable image."})");
  const Process missing = runHelper("recognize " + notes + ".gone en");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, R"({"error":"The image file does not exist."})");

  const Process languages = runHelper("languages");
  EXPECT_EQ(languages.status, 0);
  EXPECT_EQ(languages.out.rfind("{\"languages\":[", 0), 0u) << languages.out;

  // A header claiming 100000 x 100000 and a FIFO: refused as no readable image, at once.
  const std::string huge = (dir / "huge.png").string();
  ASSERT_TRUE(orvel::ocr::testing::writeWhitePng(huge, 100000, 100000, /*rows=*/false));
  const std::string fifo = (dir / "fifo.png").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& refused : {huge, fifo}) {
    const Process result = runHelper("recognize " + refused + " en");
    EXPECT_EQ(result.status, 1) << refused;
    EXPECT_EQ(result.out, R"({"error":"The file is not a readable image."})");
  }
  // Blank rows and columns wider and taller than the engine takes read as no text alike.
  for (const auto& [width, height] : {std::pair{200000u, 1u}, std::pair{1u, 200000u}}) {
    const std::string blank = (dir / "blank.png").string();
    ASSERT_TRUE(orvel::ocr::testing::writeWhitePng(blank, width, height));
    const Process result = runHelper("recognize " + blank + " en");
    EXPECT_EQ(result.status, 0) << width;
    EXPECT_EQ(result.out, R"({"text":""})") << width;
  }

  const Process text = runHelper("recognize " + page + " system");
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(text.out, R"({"text":"Hello there"})");
  std::filesystem::remove_all(dir);
}

}  // namespace
