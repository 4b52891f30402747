#include "startup/xdg_autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "exec_line_parser.h"
#include "startup/startup_messages.h"
#include "temp_folder.h"

namespace orvel::startup {
namespace {

namespace fs = std::filesystem;
using platform::LoginItemError;
using platform::LoginItemStatus;
using ::testing::ElementsAre;
using testing::readText;
using testing::TempFolder;
using testing::writeText;

constexpr const char* kExecutable = "/opt/Orvel Apps/orvel";
constexpr std::string_view kOtherEntry = "[Desktop Entry]\nType=Application\nExec=/usr/bin/other\n";

class XdgAutostartTest : public ::testing::Test {
 protected:
  fs::path configHome() const { return temp_.path() / "config"; }
  fs::path autostart() const { return configHome() / "autostart"; }
  fs::path entry() const { return autostart() / "orvel.desktop"; }

  XdgAutostart autostartFor(std::string currentDesktop = "GNOME") const {
    return XdgAutostart({kExecutable, configHome(), std::move(currentDesktop)});
  }

  std::vector<std::string> filesInAutostart() const {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(autostart())) {
      names.push_back(item.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempFolder temp_;
};

TEST_F(XdgAutostartTest, RegisterCreatesAnEntryTheSessionStarts) {
  auto items = autostartFor();
  EXPECT_EQ(items.status(), LoginItemStatus::kNotRegistered);

  ASSERT_EQ(items.registerItem(), std::nullopt);
  struct stat info {};
  ASSERT_EQ(stat(autostart().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  const std::string text = readText(entry());
  EXPECT_THAT(text, ::testing::StartsWith("[Desktop Entry]\n"));
  EXPECT_THAT(text, ::testing::HasSubstr("\nType=Application\n"));
  EXPECT_THAT(text, ::testing::HasSubstr("\nName=orvel\n"));
  const auto exec = testing::parseExecValue(testing::execLineOf(text).value_or(""));
  ASSERT_TRUE(exec) << text;
  EXPECT_THAT(*exec, ElementsAre(kExecutable));
  EXPECT_EQ(items.status(), LoginItemStatus::kEnabled);
}

TEST_F(XdgAutostartTest, OtherEntriesAreNeverTouched) {
  writeText(autostart() / "other.desktop", std::string(kOtherEntry));
  auto items = autostartFor();
  ASSERT_EQ(items.registerItem(), std::nullopt);
  ASSERT_EQ(items.registerItem(), std::nullopt);
  // No temporary file is left behind either.
  EXPECT_THAT(filesInAutostart(), ElementsAre("orvel.desktop", "other.desktop"));

  ASSERT_EQ(items.unregisterItem(), std::nullopt);
  EXPECT_THAT(filesInAutostart(), ElementsAre("other.desktop"));
  EXPECT_EQ(readText(autostart() / "other.desktop"), kOtherEntry);
  EXPECT_EQ(items.status(), LoginItemStatus::kNotRegistered);
  // Nothing left to remove is what was asked for.
  EXPECT_EQ(items.unregisterItem(), std::nullopt);
}

TEST_F(XdgAutostartTest, EntriesTheUserTurnedOffAwaitApproval) {
  const std::vector<std::string> turnedOff = {
      "Hidden=true",     "X-GNOME-Autostart-enabled=false", "X-MATE-Autostart-enabled=0",
      "OnlyShowIn=KDE;", "NotShowIn=XFCE;GNOME;",
  };
  for (const auto& line : turnedOff) {
    writeText(entry(), "[Desktop Entry]\nType=Application\nExec=/opt/orvel\n" + line + "\n");
    EXPECT_EQ(autostartFor("ubuntu:GNOME").status(), LoginItemStatus::kRequiresApproval) << line;
  }
  const std::vector<std::string> stillOn = {
      "Hidden=false",
      "X-GNOME-Autostart-enabled=true",
      "X-GNOME-Autostart-Delay=0",
      "OnlyShowIn=KDE;GNOME;",
      "NotShowIn=KDE;",
  };
  for (const auto& line : stillOn) {
    writeText(entry(), "[Desktop Entry]\nType=Application\nExec=/opt/orvel\n" + line + "\n");
    EXPECT_EQ(autostartFor("ubuntu:GNOME").status(), LoginItemStatus::kEnabled) << line;
  }
  writeText(entry(), "[Desktop Entry]\nExec=/opt/orvel\nOnlyShowIn=GNOME;\n");
  EXPECT_EQ(autostartFor("").status(), LoginItemStatus::kRequiresApproval);
}

TEST_F(XdgAutostartTest, RegisteringAgainKeepsTheUserChoiceAndTheirLines) {
  writeText(entry(),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Orvel\n"
            "Exec=/old/place/orvel --tray\n"
            "X-GNOME-Autostart-Delay=5\n"
            "Hidden=true\n"
            "[Desktop Action shot]\n"
            "Exec=/old/place/orvel --shot\n");
  auto items = autostartFor();
  ASSERT_EQ(items.registerItem(), std::nullopt);
  EXPECT_EQ(readText(entry()),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Orvel\n"
            "Exec=\"/opt/Orvel Apps/orvel\"\n"
            "X-GNOME-Autostart-Delay=5\n"
            "Hidden=true\n"
            "[Desktop Action shot]\n"
            "Exec=/old/place/orvel --shot\n");
  EXPECT_EQ(items.status(), LoginItemStatus::kRequiresApproval);
}

TEST_F(XdgAutostartTest, AFileTheSessionCannotUseIsReplaced) {
  writeText(entry(), "not a desktop entry\n");
  auto items = autostartFor();
  EXPECT_EQ(items.status(), LoginItemStatus::kNotRegistered);
  ASSERT_EQ(items.registerItem(), std::nullopt);
  EXPECT_EQ(items.status(), LoginItemStatus::kEnabled);
  EXPECT_THAT(readText(entry()), ::testing::StartsWith("[Desktop Entry]\nType=Application\n"));
}

TEST_F(XdgAutostartTest, FailuresNameThePathAndTheReason) {
  writeText(configHome(), "a file where the folder should be");
  auto items = autostartFor();
  EXPECT_EQ(items.registerItem(), LoginItemError{"cannot create the folder " +
                                                 autostart().string() + ": Not a directory"});
  EXPECT_EQ(items.status(), LoginItemStatus::kNotRegistered);

  fs::remove(configHome());
  fs::create_directories(entry() / "in the way");
  EXPECT_EQ(items.unregisterItem(),
            LoginItemError{"cannot remove " + entry().string() + ": Is a directory"});
  EXPECT_EQ(items.registerItem(),
            LoginItemError{"cannot write " + entry().string() + ": Is a directory"});
  EXPECT_THAT(filesInAutostart(), ElementsAre("orvel.desktop"));
}

TEST_F(XdgAutostartTest, AReadOnlyFolderLeavesNoTemporaryFile) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the root user";
  fs::create_directories(autostart());
  fs::permissions(autostart(), fs::perms::owner_read | fs::perms::owner_exec);
  auto items = autostartFor();
  EXPECT_EQ(items.registerItem(),
            LoginItemError{"cannot write " + entry().string() + ": Permission denied"});
  EXPECT_TRUE(fs::is_empty(autostart()));
}

TEST_F(XdgAutostartTest, WithoutApplicationOrFolderThereIsNoService) {
  XdgAutostart noExecutable({std::nullopt, configHome(), ""});
  EXPECT_EQ(noExecutable.status(), LoginItemStatus::kNotFound);
  EXPECT_EQ(noExecutable.unregisterItem(), LoginItemError{std::string(kUnknownExecutable)});

  XdgAutostart noFolder({kExecutable, std::nullopt, ""});
  EXPECT_EQ(noFolder.status(), LoginItemStatus::kNotFound);
  EXPECT_EQ(noFolder.registerItem(), LoginItemError{std::string(kUnknownConfigFolder)});

  XdgAutostart unwritable({"/opt/bell\x07/orvel", configHome(), ""});
  EXPECT_EQ(unwritable.registerItem(), LoginItemError{pathCannotBeWritten("/opt/bell\x07/orvel")});
  EXPECT_FALSE(fs::exists(configHome()));
}

TEST(XdgAutostartId, IsTheFileNameWithUnsafeCharactersReplaced) {
  EXPECT_EQ(XdgAutostart::entryIdFor("/usr/bin/orvel"), "orvel");
  EXPECT_EQ(XdgAutostart::entryIdFor("/opt/x/Orvel Capture-2_b.bin"), "Orvel_Capture-2_b_bin");
  EXPECT_EQ(XdgAutostart::entryIdFor("/opt/x/zoë$%\\\""), "zo______");
}

TEST(XdgEnvironment, ConfigHomeIgnoresRelativeValues) {
  EXPECT_EQ(XdgEnvironment::configHomeFrom("/x/config", "/home/u"), fs::path("/x/config"));
  EXPECT_EQ(XdgEnvironment::configHomeFrom("config", "/home/u"), fs::path("/home/u/.config"));
  EXPECT_EQ(XdgEnvironment::configHomeFrom("", "u"), std::nullopt);
  EXPECT_EQ(XdgEnvironment::configHomeFrom(nullptr, nullptr), std::nullopt);
}

TEST(XdgEnvironment, AReplacedExecutableIsTheApplication) {
  TempFolder temp;
  const fs::path app = temp.path() / "orvel";
  writeText(app, "binary");
  EXPECT_EQ(XdgEnvironment::executableFromLink(app.string()), app);
  EXPECT_EQ(XdgEnvironment::executableFromLink(app.string() + " (deleted)"), app);
  EXPECT_EQ(XdgEnvironment::executableFromLink(app.string() + "-gone (deleted)"), std::nullopt);
  EXPECT_EQ(XdgEnvironment::executableFromLink("orvel"), std::nullopt);
}

}  // namespace
}  // namespace orvel::startup
