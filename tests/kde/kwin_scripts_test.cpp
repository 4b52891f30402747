// The pure rules of the KDE scroll pieces: the scripts made for KWin, and global points in KWin's
// logical space.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/kde/fake_input_scroll_events.h"
#include "platform/kde/kwin_window_list.h"

namespace orvel::kde {
namespace {

TEST(KWinScripts, TheHelpersNameAndTheWindowIdAreWrittenInOnlyWhenTheyAreWhatTheySeem) {
  EXPECT_EQ(
      windowListScriptFor("a(\"HELPER_BUS_NAME\"); b(\"HELPER_BUS_NAME\"); c(\"SCRIPT_NAME\")",
                          ":1.42", "orvel-window-list-7"),
      "a(\":1.42\"); b(\":1.42\"); c(\"orvel-window-list-7\")");
  for (const char* name : {"", ":", "1.42", ":1.42\"); evil(\"", "org.kde.KWin"})
    EXPECT_FALSE(windowListScriptFor("HELPER_BUS_NAME", name, "orvel-list")) << name;
  for (const char* script : {"", "a\"); evil(\"", "a b", "a.js"})
    EXPECT_FALSE(windowListScriptFor("SCRIPT_NAME", ":1.42", script)) << script;
  const auto activation = activationScriptFor("{0f3c-AB}", "orvel-activate-7");
  ASSERT_TRUE(activation);
  EXPECT_NE(activation->find("=== \"{0f3c-AB}\""), std::string::npos);
  EXPECT_NE(activation->find("workspace.activeClient = clients[i]"), std::string::npos);
  // Once it has run it is gone, whatever becomes of the helper.
  EXPECT_NE(activation->find("\"unloadScript\", \"orvel-activate-7\")"), std::string::npos);
  for (const char* id : {"", "{a\"}", "{a}\n", "{g}"})
    EXPECT_FALSE(activationScriptFor(id, "orvel-activate-7")) << id;
  EXPECT_FALSE(activationScriptFor("{0f3c-AB}", "a\"); evil(\""));
}

TEST(FakeInputScrollEvents, GlobalPointsMoveToTheMainOutputsPlaceInKWinsSpace) {
  const wayland::OutputLayout layout(
      {{1, "left", {-1280, 0, 1280, 800}, 1280, 800}, {2, "main", {0, 0, 1280, 800}, 1280, 800}});
  EXPECT_EQ(kwinPointFor(layout, {-10, 20}), (Point{-10, 20}));
  const wayland::OutputLayout shifted({{1, "only", {100, 50, 1280, 800}, 1280, 800}});
  EXPECT_EQ(kwinPointFor(shifted, {10, 20}), (Point{110, 70}));
  EXPECT_FALSE(kwinPointFor(wayland::OutputLayout(), {0, 0}));
  EXPECT_FALSE(kwinPointFor(layout, {std::nan(""), 0}));
}

}  // namespace
}  // namespace orvel::kde
