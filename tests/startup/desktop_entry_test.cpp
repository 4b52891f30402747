#include "startup/desktop_entry.h"

#include <gtest/gtest.h>

namespace orvel::startup {
namespace {

constexpr std::string_view kEntry =
    "# written by hand\n"
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name = Orvel \n"
    "Name[de]=Orvel DE\n"
    "Hidden=false\n"
    "Hidden=true\n"
    "\n"
    "[Desktop Action capture]\n"
    "Exec=/opt/other --capture\n";

TEST(DesktopEntry, ReadsOnlyTheMainGroup) {
  EXPECT_FALSE(DesktopEntry::parse("Exec=/bin/true\n"));
  EXPECT_FALSE(DesktopEntry::parse("[Desktop Action x]\nExec=/bin/true\n"));

  const auto entry = DesktopEntry::parse(kEntry);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->value("Name"), "Orvel");
  EXPECT_EQ(entry->value("Name[de]"), "Orvel DE");
  EXPECT_EQ(entry->value("Hidden"), "true");  // the last of duplicated keys
  EXPECT_FALSE(entry->value("Exec"));         // belongs to the action group
  EXPECT_EQ(entry->boolean("Hidden"), true);
  EXPECT_FALSE(entry->boolean("Type"));
  EXPECT_EQ(entry->entries().size(), 5u);
  EXPECT_EQ(entry->text(), kEntry);

  const auto booleans = DesktopEntry::parse("[Desktop Entry]\nA=1\nB=0\nC=false\nD=True\n");
  EXPECT_EQ(booleans->boolean("A"), true);
  EXPECT_EQ(booleans->boolean("B"), false);
  EXPECT_EQ(booleans->boolean("C"), false);
  EXPECT_FALSE(booleans->boolean("D"));
}

TEST(DesktopEntry, SettingKeysLeavesEveryOtherLineAlone) {
  auto entry = DesktopEntry::parse(kEntry);
  ASSERT_TRUE(entry);
  entry->set("Name", "Capture");
  entry->set("Exec", "/usr/bin/orvel");
  EXPECT_EQ(entry->text(),
            "# written by hand\n"
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Capture\n"
            "Name[de]=Orvel DE\n"
            "Hidden=false\n"
            "Hidden=true\n"
            "Exec=/usr/bin/orvel\n"
            "\n"
            "[Desktop Action capture]\n"
            "Exec=/opt/other --capture\n");

  auto fresh = DesktopEntry::empty();
  fresh.set("Type", "Application");
  fresh.set("Exec", "/usr/bin/orvel");
  EXPECT_EQ(fresh.text(), "[Desktop Entry]\nType=Application\nExec=/usr/bin/orvel\n");
}

}  // namespace
}  // namespace orvel::startup
