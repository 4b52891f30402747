// Replies of the X server through Reply and the connection: what a round trip is, what a failed
// request reads as, and that events read off the socket while waiting or flushing reach the event
// pump although poll() can no longer see them.
#include <gtest/gtest.h>
#include <poll.h>
#include <xcb/xcb.h>

#include <vector>

#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "platform/x11/x11_event_pump.h"
#include "platform/x11/x11_reply.h"
#include "xvfb_rig.h"

namespace orvel::x11test {
namespace {

using x11::Reply;
using Geometry = Reply<xcb_get_geometry_reply>;

TEST(X11ReplyTest, RequestsSentBeforeAWaitShareItsRoundTrip) {
  START_RIG(rig, RigOptions{});
  auto connection = x11::X11Connection::open(rig->display().c_str());
  ASSERT_TRUE(connection);
  x11::X11Connection& c = *connection;
  const auto before = c.roundTrips();

  std::vector<Geometry> batch;
  for (int i = 0; i < 20; ++i)
    batch.emplace_back(c, xcb_get_geometry(c.get(), c.root()));
  EXPECT_EQ(c.roundTrips(), before) << "nothing is awaited before a reply is used";
  ASSERT_TRUE(batch.back());
  for (const auto& g : batch)
    EXPECT_EQ(g->width, c.screen()->width_in_pixels);
  EXPECT_EQ(c.roundTrips(), before + 1);

  // A moved reply is awaited once, by its new owner.
  Geometry moved(c, xcb_get_geometry(c.get(), c.root()));
  Geometry owner = std::move(moved);
  EXPECT_FALSE(moved);
  EXPECT_TRUE(owner);
  EXPECT_EQ(c.roundTrips(), before + 2);

  // A reply never used costs no wait.
  { Geometry unused(c, xcb_get_geometry(c.get(), c.root())); }
  EXPECT_EQ(c.roundTrips(), before + 2);
  c.sync();
  EXPECT_EQ(c.roundTrips(), before + 3);
  EXPECT_TRUE(Geometry(c, xcb_get_geometry(c.get(), c.root())));
  EXPECT_EQ(c.roundTrips(), before + 4);

  // No request reads as a failed one, and waits for nothing.
  EXPECT_FALSE(Geometry());
  EXPECT_EQ(c.roundTrips(), before + 4);
}

TEST(X11ReplyTest, FailuresReadAsNullAndLeaveNoErrorEvent) {
  START_RIG(rig, RigOptions{});
  auto connection = x11::X11Connection::open(rig->display().c_str());
  ASSERT_TRUE(connection);
  x11::X11Connection& c = *connection;
  const xcb_window_t missing = c.generateId();  // never created

  EXPECT_FALSE(Geometry(c, xcb_get_geometry(c.get(), missing)));
  const x11::XcbError error = c.check(xcb_map_window_checked(c.get(), missing));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->error_code, XCB_WINDOW);
  EXPECT_FALSE(c.check(xcb_map_window_checked(c.get(), c.root())));
  c.sync();
  EXPECT_EQ(xcb_poll_for_queued_event(c.get()), nullptr);
  EXPECT_TRUE(c.ok());
}

// A connection with its pump, and a window of its own that reports its property changes.
class X11QueuedEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string whyNot;
    rig_ = XvfbRig::start(RigOptions{}, whyNot);
    if (!rig_) GTEST_SKIP() << "X11 test skipped: " << whyNot;
    connection_ = x11::X11Connection::open(rig_->display().c_str());
    ASSERT_TRUE(connection_);
    pump_ = std::make_unique<x11::X11EventPump>(loop_, *connection_);
    window_ = connection_->generateId();
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c(), XCB_COPY_FROM_PARENT, window_, connection_->root(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    pump_->addListener([this](const xcb_generic_event_t& e) {
      if ((e.response_type & 0x7f) == XCB_PROPERTY_NOTIFY) ++changes_;
    });
  }

  xcb_connection_t* c() { return connection_->get(); }
  // A change of the window's property: the server reports it to this very connection.
  void changeProperty() {
    const std::uint32_t value = 1;
    xcb_change_property(c(), XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_CARDINAL, XCB_ATOM_CARDINAL,
                        32, 1, &value);
  }
  // Whether the loop delivers the change without anything more arriving on the socket.
  bool delivered() {
    return loop_.runUntil([this] { return changes_ > 0; });
  }

  SteadyClock clock_;
  EventLoop loop_{clock_};
  std::unique_ptr<XvfbRig> rig_;
  std::unique_ptr<x11::X11Connection> connection_;
  std::unique_ptr<x11::X11EventPump> pump_;
  xcb_window_t window_ = 0;
  int changes_ = 0;
};

TEST_F(X11QueuedEvents, EventsReadWhileWaitingForAReplyAreDelivered) {
  changeProperty();
  // The report comes before the reply, so the wait reads both off the socket.
  connection_->sync();
  EXPECT_TRUE(delivered());
}

TEST_F(X11QueuedEvents, EventsReadWhileFlushingAreDelivered) {
  changeProperty();
  xcb_flush(c());  // bare: nothing here tells the pump
  pollfd fd{connection_->fd(), POLLIN, 0};
  ASSERT_EQ(::poll(&fd, 1, -1), 1);  // the report is on the socket
  // Writing the next request, XCB reads what is there.
  xcb_no_operation(c());
  connection_->flush();
  EXPECT_TRUE(delivered());
}

}  // namespace
}  // namespace orvel::x11test
