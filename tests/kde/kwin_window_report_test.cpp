// The pure rules of the KDE scroll pieces: reading the script's window reports (outside input),
// levels by the Linux rules, the dictionaries the window server hands over, the scripts made for
// KWin, and global points in KWin's logical space.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/kde/fake_input_scroll_events.h"
#include "platform/kde/kde_window_server.h"
#include "platform/kde/kwin_window_list.h"
#include "platform/kde/kwin_window_report.h"
#include "platform/window_levels.h"

namespace orvel::kde {
namespace {

TEST(KWinWindowReport, ReadsWindowsFrontMostFirstAndLeavesMalformedOnesOut) {
  const auto windows = parseWindowReport(R"({"windows":[
    {"id":"{a}","pid":41,"caption":"Back","x":10,"y":20,"width":640,"height":480,"stacking":1,
     "active":false,"dock":false,"desktop":false,"shown":true},
    {"id":"{b}","pid":42,"caption":"Front","x":-5.5,"y":0,"width":300,"height":200,"stacking":7,
     "active":true,"above":true},
    {"id":"{c}","pid":0,"caption":"Panel","x":0,"y":760,"width":1280,"height":40,"stacking":9,
     "dock":true},
    {"id":"","pid":1,"x":0,"y":0,"width":1,"height":1},
    {"id":"{e}","pid":1,"x":0,"y":0,"width":-1,"height":1},
    {"id":"{f}","pid":1,"x":"0","y":0,"width":1,"height":1},
    {"id":"{g}","pid":2.5,"x":0,"y":0,"width":1,"height":1,"stacking":3,"shown":false},
    7
  ]})");
  ASSERT_TRUE(windows);
  ASSERT_EQ(windows->size(), 4u);
  EXPECT_EQ((*windows)[0].id, "{c}");
  EXPECT_FALSE((*windows)[0].pid);  // KWin's 0: no known owner
  EXPECT_TRUE((*windows)[0].dock);
  EXPECT_EQ((*windows)[1], (KWinWindow{.id = "{b}",
                                       .pid = 42,
                                       .caption = "Front",
                                       .frame = {-5.5, 0, 300, 200},
                                       .stacking = 7,
                                       .active = true,
                                       .above = true}));
  EXPECT_EQ((*windows)[2].id, "{g}");
  EXPECT_FALSE((*windows)[2].pid);
  EXPECT_FALSE((*windows)[2].shown);
  EXPECT_EQ((*windows)[3].caption, "Back");
  EXPECT_EQ((*windows)[3].frame, (Rect{10, 20, 640, 480}));

  for (const char* text : {"", "[]", "{}", R"({"windows":{}})", R"({"windows":[)", "null"})
    EXPECT_FALSE(parseWindowReport(text)) << text;
  EXPECT_EQ(parseWindowReport(R"({"windows":[]})")->size(), 0u);
}

TEST(KWinWindowReport, BoundsFloodsAndLongCaptions) {
  std::string many = R"({"windows":[)";
  for (std::size_t i = 0; i <= kMaxReportedWindows; ++i)
    many += std::string(i ? "," : "") + "1";
  EXPECT_FALSE(parseWindowReport(many + "]}"));
  // Cut to the bound without splitting a character ("é" is two bytes).
  std::string caption;
  for (std::size_t i = 0; i < kMaxCaptionBytes; ++i)
    caption += "\xc3\xa9";
  const auto windows = parseWindowReport(R"({"windows":[{"id":"{a}","caption":")" + caption +
                                         R"(","x":0,"y":0,"width":1,"height":1}]})");
  ASSERT_TRUE(windows);
  ASSERT_EQ(windows->size(), 1u);
  EXPECT_EQ((*windows)[0].caption, caption.substr(0, kMaxCaptionBytes));
}

TEST(KWinWindowReport, LevelsFollowTheLinuxRules) {
  EXPECT_EQ(levelOf({}), platform::kNormalWindowLevel);
  EXPECT_EQ(levelOf({.above = true}), platform::kAboveWindowLevel);
  EXPECT_EQ(levelOf({.dock = true}), platform::kDockWindowLevel);
  EXPECT_EQ(levelOf({.notification = true}), platform::kNotificationWindowLevel);
  EXPECT_EQ(levelOf({.popup = true, .above = true}), platform::kPopupWindowLevel);
}

TEST(KWinWindowReport, DictionariesLeaveHiddenAndDesktopWindowsOutInGlobalCoordinates) {
  // The main output (at 0,0) is the second one: global coordinates start there.
  const wayland::OutputLayout layout(
      {{1, "left", {-1280, 0, 1280, 800}, 1280, 800}, {2, "main", {0, 0, 1280, 800}, 1280, 800}});
  const std::vector<KWinWindow> windows = {
      {.id = "{a}", .pid = 5, .caption = "Left", .frame = {-1000, 10, 200, 100}},
      {.id = "{b}", .pid = 6, .frame = {0, 0, 2560, 800}, .desktop = true},
      {.id = "{c}", .pid = 7, .frame = {5, 5, 10, 10}, .shown = false},
      {.id = "{d}", .frame = {0, 760, 1280, 40}, .dock = true}};
  const Json list = kwinWindowDictionaries(
      windows, layout, [](const std::string& id) { return id == "{a}" ? 3u : 4u; });
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0][platform::kCGWindowNumber], 3);
  EXPECT_EQ(list[0][platform::kCGWindowOwnerPID], 5);
  EXPECT_EQ(list[0][platform::kCGWindowName], "Left");
  EXPECT_EQ(list[0][platform::kCGWindowBounds],
            (Json{{"X", -1000}, {"Y", 10}, {"Width", 200}, {"Height", 100}}));
  EXPECT_EQ(list[1][platform::kCGWindowLayer], platform::kDockWindowLevel);
  EXPECT_FALSE(list[1].contains(platform::kCGWindowOwnerPID));
}

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
