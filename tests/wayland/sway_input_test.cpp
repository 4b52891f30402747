// The input-side ports on a headless sway: applications and focus (SwayWorkspace) with a process
// that owns two windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "input_counter_process.h"
#include "platform/wayland/sway_window_list.h"
#include "platform/wayland/sway_workspace.h"
#include "sway_rig.h"

namespace orvel::wayland {
namespace {

using namespace std::chrono_literals;
using waylandtest::ChildProcess;
using waylandtest::InputCounter;
using waylandtest::SwayOptions;
using waylandtest::SwayRig;
using waylandtest::waitUntil;

std::unique_ptr<SwayWindowList> openList(SwayRig& rig) {
  return SwayWindowList::open(rig.environment().at("SWAYSOCK").c_str());
}

std::unique_ptr<ChildProcess> holdKeyboard(SwayRig& rig) {
  ChildProcess::Options o;
  o.environment = rig.environment();
  o.pipeStdin = o.pipeStdout = false;
  return ChildProcess::start({"wtype", "-s", "600000"}, o);
}

// The container id of the view of `pid` titled `title`, once sway shows it.
std::optional<std::uint32_t> viewOf(SwayWindowList& list, int pid, const std::string& title) {
  std::optional<std::uint32_t> id;
  waitUntil([&] {
    if (const auto views = list.read(SwayFreshness::kAsk))
      for (const auto& v : *views)
        if (v.pid == pid && v.title == title) id = static_cast<std::uint32_t>(v.id);
    return id.has_value();
  });
  return id;
}

TEST(WaylandSwayWorkspace, ActivatesTheNamedViewOfAProcessWithTwoAndFollowsTheFocus) {
  START_SWAY(rig, SwayOptions{});
  auto list = openList(*rig);
  ASSERT_TRUE(list);
  SwayWorkspace workspace(*list);
  // The headless seat has no keyboard: a held virtual one lets the windows see the focus.
  auto keyboard = holdKeyboard(*rig);
  ASSERT_TRUE(keyboard);
  InputCounter app(*rig, 2);
  ASSERT_TRUE(app.ready());
  const auto first = viewOf(*list, app.pid(), "Orvel input counter");
  const auto second = viewOf(*list, app.pid(), "Orvel input counter 2");
  ASSERT_TRUE(first && second);
  ASSERT_NE(*first, *second);

  // The application as /proc tells it: its executable names it.
  const auto self = workspace.application(app.pid());
  ASSERT_TRUE(self);
  EXPECT_FALSE(self->terminated);
  ASSERT_TRUE(self->bundleID);
  EXPECT_NE(self->bundleID->find("orvel_wayland_input_counter"), std::string::npos);
  const auto same = workspace.pidsWithBundleID(*self->bundleID);
  EXPECT_NE(std::find(same.begin(), same.end(), app.pid()), same.end());

  // Each named view comes to the front in turn; the focus shows in frontmostWindow.
  for (const auto& [id, number] : {std::pair{*first, 1}, std::pair{*second, 2}, {*first, 1}}) {
    workspace.activate(app.pid(), id);
    EXPECT_TRUE(waitUntil([&] { return app.focusedWindow() == number; })) << "window " << number;
    EXPECT_TRUE(waitUntil([&] { return workspace.frontmostWindow() == id; }))
        << "window " << number;
    EXPECT_EQ(workspace.frontmostPID(), app.pid());
  }

  // A view on a workspace not shown: activation shows it.
  ASSERT_TRUE(rig->swaymsg(
      {"[con_id=" + std::to_string(*second) + "]", "move", "container", "to", "workspace", "7"}));
  ASSERT_TRUE(waitUntil([&] { return app.focusedWindow() == 1; }));
  workspace.activate(app.pid(), *second);
  EXPECT_TRUE(waitUntil([&] { return app.focusedWindow() == 2; }));
  EXPECT_TRUE(waitUntil([&] { return workspace.frontmostWindow() == *second; }));

  // Another process's view is not activated in its name: the application's own view comes
  // forward instead.
  InputCounter other(*rig);
  ASSERT_TRUE(other.ready());
  const auto others = viewOf(*list, other.pid(), "Orvel input counter");
  ASSERT_TRUE(others);
  ASSERT_TRUE(waitUntil([&] { return workspace.frontmostWindow() == *others; }));
  workspace.activate(app.pid(), *others);
  EXPECT_TRUE(waitUntil([&] { return workspace.frontmostPID() == app.pid(); }));
  EXPECT_TRUE(other.focusedWindow() == 0);

  // An empty workspace: nothing has the focus.
  ASSERT_TRUE(rig->swaymsg({"workspace", "9"}));
  EXPECT_TRUE(waitUntil([&] { return !workspace.frontmostWindow() && !workspace.frontmostPID(); }));
  EXPECT_TRUE(waitUntil([&] { return app.focusedWindow() == 0; }));
}

}  // namespace
}  // namespace orvel::wayland
