// The headless KWin rig itself: two outputs, the screenshot service on its session bus, restricted
// globals only for the program a desktop entry names, and nothing of it left running afterwards.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "kwin_rig.h"
#include "rig_support.h"

namespace orvel::kdetest {
namespace {

using namespace std::chrono_literals;
using testsupport::waitUntil;

int countWord(const std::string& line, const std::string& word) {
  std::istringstream words(line);
  int n = 0;
  for (std::string w; words >> w;)
    n += w == word;
  return n;
}

// The Wayland globals that a started orvel_kde_hand sees, as one line; empty when it did not tell.
std::string globalsSeenBy(ChildProcess* hand) {
  if (!hand || hand->readLine(20s) != "ready" || !hand->write("globals\n")) return {};
  return hand->readLine(10s).value_or("");
}

// A process that ended (gone, or a zombie nobody reaped yet).
bool ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return true;
  const auto close = text.rfind(')');
  return close != std::string::npos && text.size() > close + 2 && text[close + 2] == 'Z';
}

TEST(KWinRig, ShowsTwoOutputsAndGivesFakeInputOnlyToTheNamedProgram) {
  KWinOptions options;
  options.entries = {{"orvel-kde-hand", ORVEL_KDE_HAND, {}, {"org_kde_kwin_fake_input"}}};
  std::vector<pid_t> pids;
  {
    START_KWIN(rig, options);
    EXPECT_EQ(rig->kwinProperty("/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", "Version"),
              "uint32 4");
    pids = rig->ownPids();
    for (pid_t pid : pids)
      EXPECT_FALSE(ended(pid)) << pid;

    auto hand = rig->spawn({ORVEL_KDE_HAND});
    const std::string globals = globalsSeenBy(hand.get());
    ASSERT_FALSE(globals.empty());
    EXPECT_EQ(countWord(globals, "wl_output"), 2) << globals;
    EXPECT_EQ(countWord(globals, "org_kde_kwin_fake_input"), 1) << globals;
    EXPECT_EQ(countWord(globals, "zwlr_layer_shell_v1"), 1) << globals;
    EXPECT_EQ(countWord(globals, "zwlr_screencopy_manager_v1"), 0) << globals;
    ASSERT_TRUE(hand->write("move 100 100\n"));
    EXPECT_EQ(hand->readLine(10s), "ok");

    // The same program under a path no entry names is not told of fake input.
    const std::string stranger = rig->copyProgram(ORVEL_KDE_HAND, "unnamed-hand");
    ASSERT_FALSE(stranger.empty());
    auto other = rig->spawn({stranger});
    const std::string otherGlobals = globalsSeenBy(other.get());
    ASSERT_FALSE(otherGlobals.empty());
    EXPECT_EQ(countWord(otherGlobals, "org_kde_kwin_fake_input"), 0) << otherGlobals;
    EXPECT_EQ(countWord(otherGlobals, "wl_output"), 2) << otherGlobals;
    ASSERT_TRUE(other->write("move 1 1\n"));
    EXPECT_EQ(other->readLine(10s), "no fake input");
  }
  for (pid_t pid : pids)
    EXPECT_TRUE(waitUntil([&] { return ended(pid); }, 10s)) << "still running: " << pid;
}

}  // namespace
}  // namespace orvel::kdetest
