// `orvel autostart` end to end over the real login-item library, in a configuration folder of the
// test's own: "on" is refused and writes nothing; "status" and "off" see and remove an entry that
// an earlier orvel wrote.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "shell_command.h"

namespace orvel::cli {
namespace {

namespace fs = std::filesystem;

class OrvelAutostart : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "orvel-autostart-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    home_ = pattern;
  }
  void TearDown() override { fs::remove_all(home_); }

  fs::path entry() const { return home_ / "config/autostart/orvel.desktop"; }
  void writeEntry(const std::string& extraLine) const {
    fs::create_directories(entry().parent_path());
    std::ofstream(entry()) << "[Desktop Entry]\nType=Application\nName=orvel\nExec="
                           << ORVEL_COMMAND << "\n"
                           << extraLine;
  }
  // orvel's standard output and error, and its exit status.
  testing::CommandOutput autostart(const std::string& word) const {
    return testing::runShellCommand("env -i HOME='" + home_.string() + "' XDG_CONFIG_HOME='" +
                                    (home_ / "config").string() +
                                    "' '" ORVEL_COMMAND "' autostart " + word + " 2>&1");
  }

  fs::path home_;
};

TEST_F(OrvelAutostart, OnIsRefusedWithWhatToDoInsteadAndWritesNothing) {
  const auto on = autostart("on");
  EXPECT_EQ(on.status, 1);
  EXPECT_NE(on.out.find("has nothing to start at login"), std::string::npos) << on.out;
  EXPECT_NE(on.out.find("bind \"orvel scroll\""), std::string::npos) << on.out;
  EXPECT_FALSE(fs::exists(home_ / "config/autostart"));
  const auto status = autostart("status");
  EXPECT_EQ(status.status, 0);
  EXPECT_EQ(status.out, "off\n");
}

TEST_F(OrvelAutostart, StatusAndOffSeeAndRemoveAnEntryWrittenEarlier) {
  writeEntry("");
  const auto on = autostart("status");
  EXPECT_EQ(on.status, 0);
  EXPECT_EQ(on.out.rfind("on (orvel has nothing to do at login", 0), 0u) << on.out;
  const auto off = autostart("off");
  EXPECT_EQ(off.status, 0);
  EXPECT_EQ(off.out, "off\n");
  EXPECT_FALSE(fs::exists(entry()));
  EXPECT_EQ(autostart("off").out, "off\n");

  writeEntry("Hidden=true\n");
  EXPECT_EQ(autostart("status").out, "off (turned off in the desktop's startup settings)\n");
}

}  // namespace
}  // namespace orvel::cli
