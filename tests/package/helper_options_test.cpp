// The built helpers' --help and --version, and the usage line that a malformed text-recognition
// command line adds on standard error without changing its answer.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "shell_command.h"

namespace {

struct Outcome {
  std::string out, err;
  int status = -1;
};

Outcome run(const std::string& program, const std::string& arguments) {
  const std::filesystem::path errPath =
      std::filesystem::temp_directory_path() / ("orvel-options-" + std::to_string(::getpid()));
  // No display: --help and --version must not need one.
  const std::string command =
      "env -u DISPLAY " + program + " " + arguments + " </dev/null 2>" + errPath.string();
  const auto ran = orvel::testing::runShellCommand(command);
  Outcome result{ran.out, "", ran.status};
  std::ostringstream err;
  err << std::ifstream(errPath).rdbuf();
  result.err = err.str();
  std::filesystem::remove(errPath);
  return result;
}

TEST(HelperOptionsTest, EveryHelperAnswersHelpAndVersion) {
  for (const std::string program : ORVEL_HELPERS) {
    const std::string name = std::filesystem::path(program).filename();
    SCOPED_TRACE(name);
    const Outcome help = run(program, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: " + name + " ", 0), 0u) << help.out;
    EXPECT_EQ(help.out.back(), '\n');
    EXPECT_EQ(help.err, "");

    const Outcome version = run(program, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, name + " " + ORVEL_VERSION + "\n");
  }
}

TEST(HelperOptionsTest, MalformedTextRecognitionKeepsItsAnswerAndAddsUsage) {
  for (const std::string arguments : {"", "--help extra", "--Version", "languages en"}) {
    SCOPED_TRACE(arguments);
    const Outcome malformed = run(ORVEL_OCR_HELPER, arguments);
    EXPECT_EQ(malformed.status, 2);
    EXPECT_EQ(malformed.out, R"({"error":"Text recognition is unavailable."})");
    EXPECT_EQ(malformed.err.rfind("usage: text-recognition-helper languages | recognize", 0), 0u)
        << malformed.err;
  }
  // A well-formed command line writes nothing on standard error.
  const Outcome languages = run(ORVEL_OCR_HELPER, "languages");
  EXPECT_EQ(languages.status, 0);
  EXPECT_EQ(languages.err, "");
}

}  // namespace
