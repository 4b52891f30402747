// The views of recorded and hand-made sway trees.
#include "platform/wayland/sway_tree.h"
#include "platform/wayland/sway_window_server.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace orvel::wayland {
namespace {

std::vector<std::int64_t> ids(const std::vector<SwayView>& views) {
  std::vector<std::int64_t> out;
  for (const auto& v : views)
    out.push_back(v.id);
  return out;
}

Json view(std::int64_t id, Rect r, bool visible = true) {
  return Json{{"id", id},
              {"type", "con"},
              {"name", "view " + std::to_string(id)},
              {"rect", {{"x", r.x}, {"y", r.y}, {"width", r.width}, {"height", r.height}}},
              {"pid", 1000 + id},
              {"app_id", "app"},
              {"shell", "xdg_shell"},
              {"visible", visible},
              {"focused", false},
              {"fullscreen_mode", 0}};
}

Json workspace(const std::string& name, Json tiled, Json floating = Json::array(),
               Json focus = Json::array()) {
  return Json{{"type", "workspace"},        {"name", name},
              {"fullscreen_mode", 1},       {"nodes", tiled},
              {"floating_nodes", floating}, {"focus", focus}};
}

Json output(const std::string& name, const std::string& shown, Json workspaces) {
  return Json{
      {"type", "output"}, {"name", name}, {"current_workspace", shown}, {"nodes", workspaces}};
}

Json root(Json outputs) {
  return Json{{"type", "root"}, {"nodes", outputs}};
}

TEST(WaylandSwayTree, RecordedTreeListsTheFloatingViewOverTheTiledOne) {
  std::ifstream file(ORVEL_SWAY_TREES "/sway_tree_tiled_and_floating.json");
  std::stringstream text;
  text << file.rdbuf();
  const auto views = parseShownViews(text.str());
  ASSERT_TRUE(views);
  ASSERT_EQ(views->size(), 2u);
  const SwayView& top = (*views)[0];
  EXPECT_EQ(top.id, 6);
  EXPECT_EQ(top.pid, 11415);
  EXPECT_EQ(top.appID, "second");
  EXPECT_EQ(top.title, "foot");
  EXPECT_EQ(top.frame, (Rect{290, 110, 700, 500}));
  EXPECT_TRUE(top.focused && top.floating && !top.fullscreen);
  EXPECT_EQ((*views)[1].id, 5);
  EXPECT_FALSE((*views)[1].focused || (*views)[1].floating);
}

TEST(WaylandSwayTree, StackingAndVisibility) {
  const Rect full{0, 0, 1280, 720};
  // Floating containers: the last is the top of the stacking order.
  Json floating = Json::array({view(20, {10, 10, 100, 100}), view(21, {20, 20, 100, 100})});
  // Tiled children in focus order: 12 was focused more recently than 11.
  Json tiled = Json::array({view(11, {0, 0, 640, 720}), view(12, {640, 0, 640, 720})});
  Json shown = workspace("1", tiled, floating, Json::array({12, 11}));
  Json hidden = workspace("2", Json::array({view(30, full)}));
  Json scratch = workspace("__i3_scratch", Json::array(), Json::array({view(40, full)}));
  // A second output with a tabbed container whose hidden tab sway marks invisible.
  Json tabs =
      Json{{"type", "con"},
           {"layout", "tabbed"},
           {"id", 50},
           {"nodes",
            Json::array({view(51, {1280, 0, 800, 600}, false), view(52, {1280, 0, 800, 600})})}};
  Json tree =
      root(Json::array({output("__i3", "__i3_scratch", Json::array({scratch})),
                        output("A", "1", Json::array({shown, hidden})),
                        output("B", "3", Json::array({workspace("3", Json::array({tabs}))}))}));
  EXPECT_EQ(ids(shownViews(tree)), (std::vector<std::int64_t>{21, 20, 12, 11, 52}));

  // A view fullscreen on its workspace comes first there; one fullscreen over every output
  // comes first of all.
  tree["nodes"][1]["nodes"][0]["nodes"][0]["fullscreen_mode"] = 1;
  EXPECT_EQ(ids(shownViews(tree)), (std::vector<std::int64_t>{11, 21, 20, 12, 52}));
  tree["nodes"][2]["nodes"][0]["nodes"][0]["nodes"][1]["fullscreen_mode"] = 2;
  EXPECT_EQ(ids(shownViews(tree)), (std::vector<std::int64_t>{52, 11, 21, 20, 12}));
  EXPECT_TRUE(shownViews(tree)[0].fullscreen);

  // Another workspace shown: its views replace the others.
  tree["nodes"][1]["current_workspace"] = "2";
  EXPECT_EQ(ids(shownViews(tree)), (std::vector<std::int64_t>{52, 30}));
}

TEST(WaylandSwayTree, FramesTitlesAndOwners) {
  Json v = view(7, {100, 130, 400, 300});
  v["deco_rect"] = {{"x", 0}, {"y", 0}, {"width", 400}, {"height", 24}};
  v.erase("app_id");
  v["shell"] = "xwayland";
  v["window_properties"] = {{"class", "XTerm"}, {"title", "t"}};
  v["focused"] = true;
  Json tree =
      root(Json::array({output("A", "1", Json::array({workspace("1", Json::array({v}))}))}));
  auto views = shownViews(tree);
  ASSERT_EQ(views.size(), 1u);
  EXPECT_EQ(views[0].frame, (Rect{100, 106, 400, 324}));  // the title bar above the rectangle
  EXPECT_EQ(views[0].appID, "XTerm");
  EXPECT_TRUE(views[0].focused);

  // Owners that no process can have are left absent; a view without an id or a usable
  // rectangle is left out.
  auto& node = tree["nodes"][0]["nodes"][0]["nodes"][0];
  node["pid"] = -1;
  EXPECT_FALSE(shownViews(tree).at(0).pid);
  node["pid"] = 5000000000;
  EXPECT_FALSE(shownViews(tree).at(0).pid);
  node["rect"]["width"] = -5;
  EXPECT_TRUE(shownViews(tree).empty());
  node["rect"]["width"] = 5;
  node["id"] = "7";
  EXPECT_TRUE(shownViews(tree).empty());
}

TEST(WaylandSwayTree, MalformedTreesGiveNoViews) {
  EXPECT_FALSE(parseShownViews("{\"nodes\": ["));
  EXPECT_TRUE(parseShownViews("[]")->empty());
  EXPECT_TRUE(parseShownViews("{\"nodes\": 3}")->empty());
  EXPECT_TRUE(parseShownViews(R"({"nodes":[{"type":"output","current_workspace":1}]})")->empty());
  // Nesting far deeper than any layout: the text is refused while it is read, and a document
  // given whole is walked no deeper than the limit, without exhausting the stack.
  std::string deep = R"({"nodes":[{"type":"output","current_workspace":"1","nodes":[)"
                     R"({"type":"workspace","name":"1","nodes":[)";
  for (int i = 0; i < 20000; ++i)
    deep += R"({"nodes":[)";
  for (int i = 0; i < 20000; ++i)
    deep += "]}";
  deep += "]}]}]}";
  EXPECT_FALSE(parseShownViews(deep));
  const auto document = parseJson(deep);
  ASSERT_TRUE(document);
  EXPECT_TRUE(shownViews(*document).empty());
}

TEST(WaylandSwayWindowServer, DictionariesInGlobalCoordinates) {
  // The main output is the one at 0,0, else the first: here the first, at 1280,0.
  const OutputLayout layout({OutputGeometry{1, "A", {1280, 0, 1920, 1080}, 1920, 1080},
                             OutputGeometry{2, "B", {0, 200, 1280, 720}, 1280, 720}});
  SwayView v;
  v.id = 9;
  v.pid = 321;
  v.title = "t";
  v.frame = {1300, 10, 400, 300};
  Json w = windowDictionary(v, layout);
  EXPECT_EQ(w[platform::kCGWindowNumber], 9);
  EXPECT_EQ(w[platform::kCGWindowOwnerPID], 321);
  EXPECT_EQ(w[platform::kCGWindowLayer], 0);
  EXPECT_EQ(w[platform::kCGWindowName], "t");
  EXPECT_EQ(w[platform::kCGWindowBounds],
            (Json{{"X", 20.0}, {"Y", 10.0}, {"Width", 400.0}, {"Height", 300.0}}));
  v.pid.reset();
  v.title.reset();
  w = windowDictionary(v, layout);
  EXPECT_FALSE(w.contains(platform::kCGWindowOwnerPID));
  EXPECT_FALSE(w.contains(platform::kCGWindowName));
}

}  // namespace
}  // namespace orvel::wayland
