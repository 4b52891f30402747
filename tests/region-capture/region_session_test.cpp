#include <gtest/gtest.h>

#include "helper_rig.h"
#include "messages.h"

namespace orvel::region::testing {
namespace {

TEST(RegionFromPoints, CoversBothPointsWithWholePointEdges) {
  EXPECT_EQ(regionFromPoints({10.4, 20.6}, {30.2, 5.1}), (Rect{10, 5, 21, 16}));
  EXPECT_EQ(regionFromPoints({30.2, 5.1}, {10.4, 20.6}), (Rect{10, 5, 21, 16}));
  EXPECT_EQ(regionFromPoints({-3.5, 7}, {-1.2, 7}), (Rect{-4, 7, 3, 0}));
  EXPECT_EQ(regionFromPoints({12, 12}, {12, 12}), (Rect{12, 12, 0, 0}));
}

struct TwoScreens : HelperRig {
  TwoScreens() : HelperRig(false) {
    // The second display sits to the right of the main one and reaches lower.
    desktop.setDisplays({{1, {0, 0, 800, 600}, 1}, {2, {800, 0, 600, 700}, 2}});
    start();
    request({{"command", "prepare"}, {"id", 5}});
  }
  const platform::PanelContent& content(std::size_t panel) {
    return overlay.panels().at(panel)->content;
  }
};

TEST(RegionSession, PutsOnePanelOnEveryScreenAndOutlinesTheSelectionOnEach) {
  TwoScreens rig;
  ASSERT_EQ(rig.overlay.panels().size(), 2u);
  const auto& second = *rig.overlay.panels()[1];
  EXPECT_EQ(second.options.frame, (Rect{800, -100, 600, 700})) << "screen coordinates";
  EXPECT_EQ(second.options.level, 1000);
  EXPECT_FALSE(second.key);
  EXPECT_EQ(rig.overlay.cursorStack(), std::vector{platform::CursorKind::Crosshair});

  // Not frozen yet: nearly invisible, with the instruction.
  for (std::size_t i = 0; i < 2; ++i) {
    const auto& idle = rig.content(i);
    EXPECT_FALSE(idle.picture);
    EXPECT_EQ(idle.veil, (platform::Color{0, 0, 0, 0.01}));
    EXPECT_EQ(idle.instruction, (platform::PanelText{kInstruction, 22}));
    EXPECT_FALSE(idle.selection);
  }

  // Through the panels: press on the main screen, release on the second.
  ASSERT_TRUE(rig.overlay.mouseDown({700.5, 100}));
  ASSERT_TRUE(rig.overlay.mouseDragged({900, 650.2}));
  auto session = rig.helper.active();
  EXPECT_EQ(session->region, (Rect{700, 100, 200, 551}));
  // The same region in each panel's window coordinates.
  EXPECT_EQ(rig.content(0).selection, (platform::Outline{{700, -51, 200, 551}, 2}));
  EXPECT_EQ(rig.content(1).selection, (platform::Outline{{-100, 49, 200, 551}, 2}));
  EXPECT_EQ(rig.overlay.panels()[1]->selectionChanges, 1);

  // A new press starts over: no outline until it is dragged.
  ASSERT_TRUE(rig.overlay.mouseDown({700.5, 100}));
  EXPECT_FALSE(rig.content(0).selection);
  EXPECT_FALSE(rig.content(1).selection);
  ASSERT_TRUE(rig.overlay.mouseDragged({900, 650.2}));
  EXPECT_EQ(rig.content(1).selection, (platform::Outline{{-100, 49, 200, 551}, 2}));
  EXPECT_EQ(rig.overlay.panels()[0]->backdropChanges, 2) << "the veil and the instruction, once";

  ASSERT_TRUE(rig.overlay.mouseUp({900, 650.2}));
  EXPECT_TRUE(session->released);
  ASSERT_TRUE(rig.overlay.mouseDown({10, 10}));
  EXPECT_EQ(session->start, (Point{700.5, 100})) << "a press after the release is ignored";
  EXPECT_TRUE(rig.content(0).selection);
}

TEST(RegionSession, FinishingRestoresEverythingAndRepliesOnce) {
  TwoScreens rig;
  auto session = rig.helper.active();
  session->cancel();
  session->fail(failure("late"));
  rig.run();
  EXPECT_EQ(rig.lines.size(), 1u);
  EXPECT_EQ(rig.lastReply(), Json({{"id", 5}, {"ok", true}, {"canceled", true}}));
  EXPECT_TRUE(session->canceled);
  EXPECT_EQ(rig.overlay.openPanels(), 0);
  EXPECT_TRUE(session->panels.empty());
  EXPECT_TRUE(rig.overlay.cursorStack().empty());
  EXPECT_FALSE(rig.shield.enabled());
  EXPECT_FALSE(rig.helper.shield().current());
}

TEST(RegionSession, EscapeInAPanelCancels) {
  TwoScreens rig;
  auto session = rig.helper.active();
  rig.overlay.panels()[0]->view->keyDown(36);
  EXPECT_TRUE(rig.lines.empty());
  rig.overlay.panels()[0]->view->keyDown(platform::kEscapeKeyCode);
  rig.run();
  EXPECT_EQ(rig.lastReply()["canceled"], true);
}

}  // namespace
}  // namespace orvel::region::testing
