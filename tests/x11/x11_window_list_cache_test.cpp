// The cached window list against fresh reads of the same desktop: equal after every kind of change,
// read again only after one, with and without a window manager.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "platform/x11/window_list_cache.h"
#include "xvfb_rig.h"

namespace orvel::x11test {
namespace {

using x11::WindowRecord;

const WindowRecord* find(const std::vector<WindowRecord>& list, unsigned id) {
  for (const auto& r : list) {
    if (r.id == id) return &r;
  }
  return nullptr;
}

class X11WindowListCacheTest : public ::testing::TestWithParam<bool> {
 protected:
  // The cache's list equals a fresh one, taken where two fresh reads around it agree (a window
  // manager may still be at work after a change).
  void expectCurrent(x11::WindowListCache& cache, x11::X11Connection& c, const char* after) {
    for (int attempt = 0; attempt < 50; ++attempt) {
      const auto before = x11::readWindowList(c);
      const auto cached = cache.read();
      const auto later = x11::readWindowList(c);
      if (before != later) continue;
      ASSERT_TRUE(cached) << after;
      EXPECT_EQ(*cached, later) << "after " << after;
      return;
    }
    FAIL() << "the desktop kept changing after " << after;
  }
};

TEST_P(X11WindowListCacheTest, FollowsEveryChangeAndReadsAgainOnlyAfterOne) {
  RigOptions options;
  options.windowManager = GetParam();
  START_RIG(rig, options);
  x11::X11Connection& c = rig->connection();
  auto cache = x11::WindowListCache::open(rig->display().c_str());
  ASSERT_TRUE(cache);

  auto a = rig->openWindow({.title = "Alpha", .x = 100, .y = 120, .width = 400, .height = 300});
  auto b = rig->openWindow(
      {.title = "Beta", .x = 300, .y = 200, .width = 300, .height = 200, .seed = 2});
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(waitUntil([&] {
    const auto list = x11::readWindowList(c);
    return find(list, a->window()) && find(list, b->window());
  }));
  expectCurrent(*cache, c, "opening");

  // A quiet desktop: one round trip a read, and no second look at the windows. A manager may
  // still be settling the new windows first.
  ASSERT_TRUE(waitUntil([&] {
    const auto before = cache->fullReads();
    cache->read();
    return cache->fullReads() == before;
  }));
  const auto reads = cache->fullReads();
  const auto trips = cache->roundTrips();
  for (int i = 0; i < 5; ++i)
    cache->read();
  EXPECT_EQ(cache->fullReads(), reads);
  EXPECT_EQ(cache->roundTrips() - trips, 5u);

  // A property the list does not report keeps it.
  const std::string icon = "icon";
  xcb_change_property(c.get(), XCB_PROP_MODE_REPLACE, a->window(), XCB_ATOM_WM_ICON_NAME,
                      XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(icon.size()), icon.data());
  rig->sync();
  cache->read();
  EXPECT_EQ(cache->fullReads(), reads);

  const struct {
    const char* command;
    TestWindowProcess* window;
  } changes[] = {{"move 150 160", a.get()}, {"resize 420 310", a.get()}, {"title Gamma", b.get()},
                 {"raise", a.get()},        {"lower", a.get()},          {"lower", b.get()}};
  for (const auto& change : changes) {
    const auto before = cache->fullReads();
    const auto old = x11::readWindowList(c);
    change.window->command(change.command);
    // A manager carries the request out in its own time.
    ASSERT_TRUE(waitUntil([&] { return x11::readWindowList(c) != old; })) << change.command;
    expectCurrent(*cache, c, change.command);
    EXPECT_GT(cache->fullReads(), before) << change.command;
  }
  ASSERT_TRUE(find(*cache->read(), b->window()));
  EXPECT_EQ(find(*cache->read(), b->window())->name, "Gamma");

  auto popup =
      rig->openWindow({.x = 50, .y = 50, .width = 100, .height = 100, .overrideRedirect = true});
  ASSERT_TRUE(popup);
  expectCurrent(*cache, c, "a pop-up");
  EXPECT_TRUE(find(*cache->read(), popup->window()));

  const unsigned gone = a->window();
  a->quit();
  ASSERT_TRUE(waitUntil([&] { return !find(x11::readWindowList(c), gone); }));
  expectCurrent(*cache, c, "a window closing");
  EXPECT_FALSE(find(*cache->read(), gone));

  rig->killServer();
  EXPECT_FALSE(cache->read());
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutWindowManager, X11WindowListCacheTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "openbox" : "bare"; });

TEST(X11WindowListChanges, StructureAndReportedPropertiesCountOthersDoNot) {
  x11::Atoms atoms;
  atoms.netWmName = 300;
  atoms.netClientListStacking = 301;
  atoms.netWmPid = 302;
  auto property = [](xcb_atom_t atom) {
    xcb_property_notify_event_t e{};
    e.response_type = XCB_PROPERTY_NOTIFY;
    e.atom = atom;
    return e;
  };
  for (xcb_atom_t atom :
       {xcb_atom_t{300}, xcb_atom_t{301}, xcb_atom_t{302}, xcb_atom_t{XCB_ATOM_WM_NAME}}) {
    const auto e = property(atom);
    EXPECT_TRUE(x11::changesWindowList(reinterpret_cast<const xcb_generic_event_t&>(e), atoms))
        << atom;
  }
  const auto icon = property(XCB_ATOM_WM_ICON_NAME);
  EXPECT_FALSE(x11::changesWindowList(reinterpret_cast<const xcb_generic_event_t&>(icon), atoms));

  xcb_generic_event_t e{};
  for (std::uint8_t type : {XCB_CREATE_NOTIFY, XCB_DESTROY_NOTIFY, XCB_MAP_NOTIFY, XCB_UNMAP_NOTIFY,
                            XCB_REPARENT_NOTIFY, XCB_CONFIGURE_NOTIFY}) {
    e.response_type = type;
    EXPECT_TRUE(x11::changesWindowList(e, atoms)) << int(type);
    // Sent by another client (a manager's synthetic ConfigureNotify) it counts the same.
    e.response_type = type | 0x80;
    EXPECT_TRUE(x11::changesWindowList(e, atoms)) << int(type);
  }
  e.response_type = 0;  // an error
  EXPECT_FALSE(x11::changesWindowList(e, atoms));
  e.response_type = XCB_EXPOSE;
  EXPECT_FALSE(x11::changesWindowList(e, atoms));
}

}  // namespace
}  // namespace orvel::x11test
