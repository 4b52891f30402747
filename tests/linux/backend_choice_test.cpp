#include "platform/backend_choice.h"

#include <gtest/gtest.h>

namespace orvel::platform {
namespace {

using Rows = std::vector<std::size_t>;

TEST(BackendChoice, ForcedUnsetAndUnknownValues) {
  const std::vector<BackendCandidate> waylandSession{{"wayland", true}, {"x11", true}};
  const std::vector<BackendCandidate> x11Session{{"wayland", false}, {"x11", true}};
  // Unset or empty: every row that applies, in table order.
  for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
    EXPECT_EQ(chooseBackends(waylandSession, unset).rows, (Rows{0, 1}));
    EXPECT_EQ(chooseBackends(x11Session, unset).rows, (Rows{1}));
    EXPECT_TRUE(chooseBackends(x11Session, unset).warning.empty());
  }
  // A named row is tried alone, whether or not the session looks like one for it.
  EXPECT_EQ(chooseBackends(x11Session, "wayland").rows, (Rows{0}));
  EXPECT_EQ(chooseBackends(waylandSession, "x11").rows, (Rows{1}));
  const auto unknown = chooseBackends(waylandSession, "mir");
  EXPECT_TRUE(unknown.rows.empty());
  EXPECT_EQ(unknown.warning, "ORVEL_BACKEND must be wayland or x11, not mir");
  // More rows are listed in table order.
  const std::vector<BackendCandidate> four{
      {"wayland", true}, {"gnome", false}, {"kde", false}, {"x11", true}};
  EXPECT_EQ(chooseBackends(four, "X11").warning,
            "ORVEL_BACKEND must be wayland, gnome, kde or x11, not X11");
  EXPECT_EQ(chooseBackends(four, "kde").rows, (Rows{2}));
}

}  // namespace
}  // namespace orvel::platform
