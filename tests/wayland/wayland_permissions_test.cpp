// The permission answers on Wayland: allowed while the compositor offers the protocols, else a
// reply that names what it lacks.
#include <gtest/gtest.h>

#include "platform/wayland/virtual_pointer_scroll_events.h"
#include "platform/wayland/wayland_permissions.h"
#include "sway_rig.h"

namespace orvel::wayland {
namespace {

using platform::PermissionReply;
using waylandtest::SwayOptions;
using waylandtest::SwayRig;

TEST(WaylandPermissions, AMissingProtocolIsNamedInTheReplyOfWhatItStops) {
  auto lacking = WaylandPermissions::lacking({"zwlr_screencopy_manager_v1"},
                                             {"zwlr_virtual_pointer_manager_v1", "wl_seat"});
  EXPECT_FALSE(lacking.screenCaptureAllowed());
  EXPECT_FALSE(lacking.postEventAllowed());
  EXPECT_TRUE(lacking.accessibilityTrusted());
  EXPECT_EQ(lacking.denialReply(PermissionReply::kScrollScreenRecording),
            "Screen pictures cannot be taken: the Wayland compositor offers no "
            "zwlr_screencopy_manager_v1. Start Orvel in a wlroots session such as sway.");
  EXPECT_EQ(lacking.denialReply(PermissionReply::kScrollAccessibility),
            "Automatic scrolling cannot send scroll events: the Wayland compositor offers no "
            "zwlr_virtual_pointer_manager_v1 or wl_seat. Start Orvel in a wlroots session such "
            "as sway.");

  // Pictures allowed, scrolling not: only the scrolling reply names anything.
  auto noPointer = WaylandPermissions::lacking({}, {"zwlr_virtual_pointer_manager_v1"});
  EXPECT_TRUE(noPointer.screenCaptureAllowed());
  EXPECT_FALSE(noPointer.postEventAllowed());
  EXPECT_EQ(noPointer.denialReply(PermissionReply::kScrollScreenRecording), std::nullopt);
  EXPECT_NE(noPointer.denialReply(PermissionReply::kScrollAccessibility), std::nullopt);

  // The compositor's word alone names nothing: the helper's usual reply stands.
  WaylandPermissions refused(false, false);
  EXPECT_FALSE(refused.screenCaptureAllowed());
  EXPECT_EQ(refused.denialReply(PermissionReply::kScrollAccessibility), std::nullopt);
}

TEST(WaylandPermissions, SwayOffersEverythingTheScrollHelperNeeds) {
  START_SWAY(rig, SwayOptions{});
  auto connection = WaylandConnection::open(rig->waylandDisplay().c_str());
  ASSERT_TRUE(connection);
  VirtualPointerScrollEvents events(rig->waylandDisplay().c_str());
  auto permissions = WaylandPermissions::forScrolling(*connection, events.available());
  EXPECT_TRUE(permissions.screenCaptureAllowed());
  EXPECT_TRUE(permissions.postEventAllowed());
  EXPECT_EQ(permissions.denialReply(PermissionReply::kScrollAccessibility), std::nullopt);
  // Without virtual pointers, the reply says so.
  auto without = WaylandPermissions::forScrolling(*connection, false);
  EXPECT_FALSE(without.postEventAllowed());
  const auto reply = without.denialReply(PermissionReply::kScrollAccessibility);
  ASSERT_TRUE(reply);
  EXPECT_NE(reply->find("zwlr_virtual_pointer_manager_v1"), std::string::npos);
  EXPECT_EQ(reply->find("wl_seat"), std::string::npos);
}

}  // namespace
}  // namespace orvel::wayland
