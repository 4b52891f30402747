#include "platform/backend_choice.h"

#include <gtest/gtest.h>

namespace orvel::platform {
namespace {

TEST(BackendChoice, ForcedUnsetAndUnknownValues) {
  const auto unset = chooseBackends(nullptr, "wayland-1");
  EXPECT_TRUE(unset.tryWayland && unset.tryX11);
  EXPECT_TRUE(unset.warning.empty());
  // An empty WAYLAND_DISPLAY names no compositor.
  for (const char* display : {static_cast<const char*>(nullptr), ""}) {
    const auto x11Only = chooseBackends("", display);
    EXPECT_FALSE(x11Only.tryWayland);
    EXPECT_TRUE(x11Only.tryX11);
  }
  const auto wayland = chooseBackends("wayland", nullptr);
  EXPECT_TRUE(wayland.tryWayland);
  EXPECT_FALSE(wayland.tryX11);
  const auto x11 = chooseBackends("x11", "wayland-1");
  EXPECT_FALSE(x11.tryWayland);
  EXPECT_TRUE(x11.tryX11);
  const auto unknown = chooseBackends("mir", "wayland-1");
  EXPECT_FALSE(unknown.tryWayland || unknown.tryX11);
  EXPECT_EQ(unknown.warning, "ORVEL_BACKEND must be wayland or x11, not mir");
}

}  // namespace
}  // namespace orvel::platform
