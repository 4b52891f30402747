#include "startup/exec_quoting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "exec_line_parser.h"

namespace orvel::startup {
namespace {

using ::testing::ElementsAre;
using testing::parseExecValue;

TEST(ExecQuoting, EveryWritablePathReadsBackAsOneArgument) {
  const std::vector<std::string> paths = {
      "/usr/bin/orvel",          "/opt/My Apps/orvel",       R"(/opt/"quoted"/it's/orvel)",
      "/home/$USER/`id`/orvel",  "/opt/100%/%f %u %%/orvel", R"(/opt/back\slash\\twice\n/orvel)",
      "/opt/;&|<>*?#()~=/orvel", "/home/zoë/日本/orvel",
  };
  for (const auto& path : paths) {
    const auto value = execValueFor(path);
    ASSERT_TRUE(value) << path;
    const auto arguments = parseExecValue(*value);
    ASSERT_TRUE(arguments) << path << " was written as " << *value;
    EXPECT_THAT(*arguments, ElementsAre(path)) << *value;
  }
}

TEST(ExecQuoting, BackslashAndDollarCarryBothLayersOfEscapes) {
  // A quoted literal backslash is four backslashes in the file, a dollar sign "\\$".
  EXPECT_EQ(execValueFor(R"(/x/a b$\%)"), R"("/x/a b\\$\\\\%%")");
  EXPECT_EQ(execValueFor("/usr/bin/orvel"), "/usr/bin/orvel");
}

TEST(ExecQuoting, PathsAnEntryCannotHoldAreRefused) {
  EXPECT_FALSE(execValueFor(""));
  EXPECT_FALSE(execValueFor("/opt/line\nbreak"));
  EXPECT_FALSE(execValueFor("/opt/tab\there"));
  EXPECT_FALSE(execValueFor("/opt/bell\x07"));
  EXPECT_FALSE(execValueFor("/opt/\xff"));          // not UTF-8
  EXPECT_FALSE(execValueFor("/opt/\xc0\xaf"));      // overlong '/'
  EXPECT_FALSE(execValueFor("/opt/\xed\xa0\x80"));  // surrogate
  EXPECT_FALSE(execValueFor("/opt/\xe6\x97"));      // cut short
  EXPECT_TRUE(execValueFor("/opt/\xf0\x9f\x93\xb7"));
}

TEST(ExecQuoting, StringValuesEscapeOnlyTheBackslash) {
  EXPECT_EQ(escapeStringValue(R"(a\b c$%)"), R"(a\\b c$%)");
}

}  // namespace
}  // namespace orvel::startup
