// The scroll helper's window list on a headless gnome-shell, through Orvel's extension installed
// into a temporary prefix (its data folder given to the shell) and enabled at run time. The test's
// probe (orvel_gnome_window_list) stands where the installed scroll helper stands: before the
// extension runs it is told how to enable it; then the list holds a GTK window with its owner,
// title and frame, the top bar as the shell's dock, follows the window when it is maximized,
// activates the window asked for, and drops it when it closes. The same probe run from the build
// tree, and the test itself, are refused.
#include <gtest/gtest.h>

#include <algorithm>

#include "gnome_hand.h"
#include "gnome_rig.h"
#include "installed_project.h"
#include "orvel/common/json_text.h"
#include "platform/gnome/gnome_window_list.h"
#include "platform/window_levels.h"
#include "rig_support.h"

namespace orvel::gnometest {
namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::waitUntil;

// A GTK window of the session (gtk_page.py), which says when it is shown.
class GtkPage {
 public:
  GtkPage(const GnomeRig& rig, const std::string& title)
      : process_(rig.spawn(
            {"/usr/bin/python3", ORVEL_GTK_PAGE, title},
            {.environment = {
                 {"GDK_BACKEND", "wayland"}, {"GSK_RENDERER", "cairo"}, {"NO_AT_BRIDGE", "1"}}})) {
    ready_ = process_ && waitUntil(
                             [&] {
                               take();
                               return shown_;
                             },
                             30s);
  }
  bool ready() const { return ready_; }
  int pid() const { return process_->pid(); }
  bool send(const std::string& command) { return process_->write(command + "\n"); }

 private:
  // Takes the lines written so far.
  void take() {
    while (auto line = process_->readLine(std::chrono::milliseconds(1))) {
      if (*line == "ready") shown_ = true;
    }
  }
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
  bool shown_ = false;
};

class WindowListProbe {
 public:
  WindowListProbe(const GnomeRig& rig, const std::string& program)
      : process_(rig.spawn({program})) {
    ready_ = process_ && process_->readLine(20s) == "ready";
  }
  bool ready() const { return ready_; }
  std::string ask(const std::string& command) {
    if (!process_->write(command + "\n")) return {};
    return process_->readLine(10s).value_or("");
  }
  Json list() { return parseJson(ask("list")).value_or(Json()); }
  // The entry of the first window that `pick` accepts, once the list holds one.
  Json find(const std::function<bool(const Json&)>& pick) {
    Json found;
    waitUntil(
        [&] {
          const Json windows = list();
          if (!windows.is_array()) return false;
          const auto it = std::find_if(windows.begin(), windows.end(), pick);
          if (it != windows.end()) found = *it;
          return it != windows.end();
        },
        20s);
    return found;
  }
  // The entry of `pid`'s window once it has a size (mutter lists a new window before its first
  // configure, at 0 by 0).
  Json windowOf(int pid) {
    return find([&](const Json& w) { return w.value("pid", 0) == pid && w["width"] > 0; });
  }

 private:
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
};

TEST(GnomeWindowList, TheInstalledHelperSeesFollowsAndActivatesWindowsAndOthersAreRefused) {
  testsupport::InstalledProject installed;
  std::string log;
  ASSERT_TRUE(installed.install(ORVEL_BUILD_DIR, log)) << log;
  ASSERT_TRUE(installed.replaceHelper("scroll-capture-helper", ORVEL_GNOME_WINDOW_LIST));
  GnomeOptions options;
  options.dataDirs = {installed.prefix() + "/share"};
  START_GNOME(rig, options);
  rig->enter();
  SteadyClock clock;
  EventLoop loop(clock);
  auto bus = dbus::DbusConnection::openSession(loop);
  ASSERT_TRUE(bus) << bus.error().description;
  ASSERT_TRUE(leaveOverview(loop, **bus)) << rig->shellLog();

  WindowListProbe helper(*rig, installed.prefix() + "/libexec/orvel/scroll-capture-helper");
  ASSERT_TRUE(helper.ready());
  EXPECT_TRUE(waitUntil([&] { return helper.ask("why") == gnome::kExtensionNotEnabled; }, 20s));
  ASSERT_TRUE(enableExtension(loop, **bus, gnome::kExtensionUuid, whyNot)) << whyNot << "\n"
                                                                           << rig->shellLog();
  ASSERT_TRUE(waitUntil([&] { return helper.list().is_array(); }, 20s)) << helper.ask("why") << "\n"
                                                                        << rig->shellLog();
  EXPECT_EQ(helper.ask("why"), "readable");

  // The top bar: a dock of the shell's across the top of the first monitor, above the windows.
  const Json topBar = helper.find([](const Json& w) { return w["dock"] == true; });
  ASSERT_TRUE(topBar.is_object()) << helper.list().dump();
  EXPECT_EQ(topBar["x"], 0);
  EXPECT_EQ(topBar["y"], 0);
  EXPECT_EQ(topBar["width"], 1280);
  EXPECT_GT(topBar["height"].get<double>(), 10);
  EXPECT_EQ(topBar["level"], platform::kDockWindowLevel);
  EXPECT_EQ(topBar["pid"], rig->shellPid());

  GtkPage first(*rig, "Orvel page one");
  ASSERT_TRUE(first.ready());
  const Json shown = helper.windowOf(first.pid());
  ASSERT_TRUE(shown.is_object()) << helper.list().dump();
  EXPECT_EQ(shown["caption"], "Orvel page one");
  EXPECT_EQ(shown["width"], 640);
  EXPECT_EQ(shown["height"], 480);
  EXPECT_EQ(shown["level"], 0);
  EXPECT_EQ(helper.list()[0]["dock"], true);  // the top bar is front-most

  // Maximized, it fills the first monitor below the top bar.
  ASSERT_TRUE(first.send("maximize"));
  const Json maximized = helper.find(
      [&](const Json& w) { return w.value("pid", 0) == first.pid() && w["width"] == 1280; });
  ASSERT_TRUE(maximized.is_object()) << helper.list().dump();
  EXPECT_EQ(maximized["x"], 0);
  EXPECT_EQ(maximized["y"], topBar["height"]);
  EXPECT_EQ(maximized["height"].get<double>(), 800 - topBar["height"].get<double>());
  EXPECT_EQ(maximized["number"], shown["number"]);

  // Activation gives the named window the focus, whichever had it.
  GtkPage second(*rig, "Orvel page two");
  ASSERT_TRUE(second.ready());
  const Json other = helper.windowOf(second.pid());
  ASSERT_TRUE(other.is_object());
  EXPECT_NE(other["number"], shown["number"]);
  for (const Json& number : {other["number"], shown["number"]}) {
    EXPECT_EQ(helper.ask("activate " + number.dump()), "ok");
    // In front of every other window, and focused.
    EXPECT_TRUE(waitUntil(
        [&] {
          const Json windows = helper.list();
          for (const Json& w : windows.is_array() ? windows : Json::array())
            if (w["dock"] == false) return w["number"] == number && w["active"] == true;
          return false;
        },
        20s))
        << number << " " << helper.list().dump();
  }

  // Anyone else is refused: the probe where no installed helper stands, and this test.
  WindowListProbe stranger(*rig, ORVEL_GNOME_WINDOW_LIST);
  ASSERT_TRUE(stranger.ready());
  std::string refusal;
  EXPECT_TRUE(waitUntil([&] {
    refusal = stranger.ask("why");
    return refusal != "readable";
  }));
  EXPECT_EQ(refusal.rfind(gnome::kExtensionRefused, 0), 0u) << refusal;
  EXPECT_NE(refusal.find("org.freedesktop.DBus.Error.AccessDenied"), std::string::npos);
  EXPECT_EQ(stranger.list(), Json());
  auto ask = (*bus)->newCall(
      {gnome::kExtensionBusName, gnome::kExtensionWindowsPath, gnome::kExtensionWindowsInterface},
      "GetWindows");
  const auto answer = callAndWait(loop, **bus, std::move(ask));
  ASSERT_FALSE(answer);
  EXPECT_EQ(answer.error().description.rfind("org.freedesktop.DBus.Error.AccessDenied", 0), 0u)
      << answer.error().description;

  // A closed window leaves the list.
  const int gone = second.pid();
  ASSERT_TRUE(second.send("quit"));
  EXPECT_TRUE(waitUntil([&] {
    const Json windows = helper.list();
    return windows.is_array() && std::none_of(windows.begin(), windows.end(), [&](const Json& w) {
             return w.value("pid", 0) == gone;
           });
  }));
}

}  // namespace
}  // namespace orvel::gnometest
