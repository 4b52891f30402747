#include "platform/switching_desktop.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_backend.h"

namespace orvel::platform {
namespace {

class NoView final : public OverlayView {};

// What a helper asks of a region desktop, as plain values: live and null answers differ in each.
struct RegionAnswers {
  std::size_t screens;
  bool pictures, input, shieldInstalled;
  std::string captureError;
  friend bool operator==(const RegionAnswers&, const RegionAnswers&) = default;
};

RegionAnswers ask(RegionDesktop& d) {
  ContentFilter filter;
  filter.displayID = 1;
  CaptureConfiguration config;
  config.width = config.height = 4;
  const auto picture = d.capture().captureImage(filter, config);
  return {d.screens().screens().size(), d.permissions().screenCaptureAllowed(),
          d.permissions().postEventAllowed(),
          d.shield().install(1, [](const InputEvent&) { return true; }),
          picture ? "" : picture.error().description};
}

TEST(SwitchingDesktop, ARegionDesktopAnswersAsTheNullOneOnceItsDisplayIsLost) {
  sim::SimDesktop scene;
  auto backend = std::make_unique<sim::SimBackend>(scene);
  sim::SimBackend& live = *backend;
  SwitchingRegionDesktop desktop(std::move(backend));
  NullDesktop none;

  const RegionAnswers before = ask(desktop);
  EXPECT_EQ(before.screens, scene.screens().size());
  EXPECT_TRUE(before.pictures && before.input && before.shieldInstalled);
  EXPECT_EQ(before.captureError, "");

  int taken = 0, changed = 0;
  std::optional<RegionAnswers> duringLoss;
  desktop.onInputTaken([&] { ++taken; });
  desktop.onDisplaysChanged([&] { ++changed; });
  desktop.onDisplayLost([&] { duringLoss = ask(desktop); });
  live.takeInput();
  live.changeDisplays();
  EXPECT_EQ(taken, 1);
  EXPECT_EQ(changed, 1);
  EXPECT_FALSE(duringLoss);

  live.loseDisplay();
  // Listeners hear of the loss once the ports already answer as without a display.
  const RegionAnswers nothing = ask(none);
  EXPECT_EQ(nothing, (RegionAnswers{0, false, false, false, kNoDesktopMessage}));
  ASSERT_TRUE(duringLoss);
  EXPECT_EQ(*duringLoss, nothing);
  EXPECT_EQ(ask(desktop), nothing);
  EXPECT_EQ(desktop.permissions().accessibilityTrusted(),
            none.permissions().accessibilityTrusted());
  // Panels made now show nothing, whatever the overlay of the lost display did.
  NoView view;
  const int panelsBefore = static_cast<int>(live.overlay().panels().size());
  PanelOptions options;
  options.frame = {0, 0, 10, 10};
  auto panel = desktop.overlay().createPanel(options, view);
  ASSERT_TRUE(panel);
  EXPECT_EQ(static_cast<int>(live.overlay().panels().size()), panelsBefore);
}

TEST(SwitchingDesktop, AScrollDesktopAnswersAsTheNullOneOnceItsDisplayIsLost) {
  sim::SimDesktop scene;
  scene.addWindow(7, 100, {0, 0, 50, 50});
  scene.addApplication(100, "app");
  scene.frontmost = 100;
  scene.keysDown.insert(kEscapeKeyCode);
  scene.shapes[7] = {{0, 0, 5, 5}};
  scene.activationWait = std::chrono::seconds(6);
  auto backend = std::make_unique<sim::SimBackend>(scene);
  sim::SimBackend& live = *backend;
  SwitchingScrollDesktop desktop(std::move(backend));

  EXPECT_TRUE(desktop.windowServer().onScreenWindows().is_array());
  EXPECT_TRUE(desktop.keys().isKeyDown(kEscapeKeyCode));
  EXPECT_TRUE(desktop.workspace().application(100));
  EXPECT_EQ(desktop.workspace().frontmostPID(), 100);
  EXPECT_EQ(desktop.workspace().activationBound(), std::chrono::seconds(6));
  EXPECT_TRUE(desktop.windowShapes().contentShape(7));
  EXPECT_TRUE(desktop.scrollEvents().openSource());
  EXPECT_TRUE(desktop.permissions().postEventAllowed());

  bool told = false;
  desktop.onDisplayLost([&] { told = true; });
  live.loseDisplay();
  EXPECT_TRUE(told);
  // An unreadable list, the scheme's levels, nothing running, nothing to post.
  EXPECT_FALSE(desktop.windowServer().onScreenWindows().is_array());
  EXPECT_EQ(desktop.windowServer().cursorLevel(), 2147483630);
  EXPECT_EQ(desktop.windowServer().dockLevel(), 20);
  EXPECT_FALSE(desktop.keys().isKeyDown(kEscapeKeyCode));
  EXPECT_FALSE(desktop.workspace().application(100));
  EXPECT_FALSE(desktop.workspace().frontmostPID());
  EXPECT_EQ(desktop.workspace().activationBound(), std::chrono::seconds(1));
  EXPECT_FALSE(desktop.windowShapes().contentShape(7));
  EXPECT_FALSE(desktop.scrollEvents().openSource());
  EXPECT_FALSE(desktop.permissions().postEventAllowed());
  EXPECT_FALSE(desktop.permissions().screenCaptureAllowed());
  EXPECT_TRUE(desktop.screens().screens().empty());
  const auto content = desktop.capture().shareableContent(true, true);
  ASSERT_FALSE(content);
  EXPECT_EQ(content.error().description, kNoDesktopMessage);
}

}  // namespace
}  // namespace orvel::platform
