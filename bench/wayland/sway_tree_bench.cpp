// The size of sway's layout tree and the cost of reading it, for the limits on get_tree:
//
//   wayland_sway_tree_bench measure OUT   on a headless sway with 99 views, get_tree's bytes per
//                                         view; writes to OUT a tree of 10,000 such views
//   wayland_sway_tree_bench write deep|flat OUT
//                                         writes a hostile tree of the payload limit's size: nested
//                                         without end, or a flat list of empty objects
//   wayland_sway_tree_bench parse FILE [unbounded]
//                                         reads FILE as the window list does (or, "unbounded", as a
//                                         plain JSON parse followed by the walk) and prints the
//                                         time, the views and the peak resident memory
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "input_counter_process.h"
#include "platform/wayland/sway_ipc.h"
#include "platform/wayland/sway_tree.h"
#include "platform/wayland/sway_window_list.h"
#include "sway_rig.h"

namespace {

using namespace orvel;
using namespace orvel::wayland;

constexpr std::size_t kViews = 10000;

// The first view node of `tree`, as compact text.
std::string firstViewNode(const Json& tree) {
  const Json* found = nullptr;
  std::function<void(const Json&)> walk = [&](const Json& node) {
    if (found || !node.is_object()) return;
    if (node.contains("pid") && node.contains("shell")) {
      found = &node;
      return;
    }
    for (const char* key : {"nodes", "floating_nodes"})
      if (node.contains(key))
        for (const auto& child : node[key])
          walk(child);
  };
  walk(tree);
  return found ? found->dump() : std::string();
}

int measure(const char* out) {
  std::string whyNot;
  auto rig = waylandtest::SwayRig::start({}, whyNot);
  if (!rig) {
    std::fprintf(stderr, "no sway: %s\n", whyNot.c_str());
    return 1;
  }
  waylandtest::InputCounter many(*rig, 99);
  auto list = SwayWindowList::open(rig->environment().at("SWAYSOCK").c_str());
  std::size_t shown = 0;
  const bool all = many.ready() && waylandtest::waitUntil(
                                       [&] {
                                         const auto views = list->read(SwayFreshness::kAsk);
                                         shown = views ? views->size() : 0;
                                         return shown == 99;
                                       },
                                       std::chrono::seconds(60));
  if (!all) {
    std::fprintf(stderr, "the 99 views did not show (%zu shown)\n", shown);
    return 1;
  }
  auto ipc = SwayIpc::open(rig->environment().at("SWAYSOCK"));
  const auto tree = ipc->request(SwayMessage::kGetTree, {},
                                 std::chrono::steady_clock::now() + std::chrono::seconds(5));
  if (!tree) {
    std::fprintf(stderr, "get_tree failed\n");
    return 1;
  }
  const auto views = parseShownViews(*tree);
  const auto parsed = parseJson(*tree);
  // sway writes its JSON with a space after each colon and comma: the node as sway sends it is the
  // compact one and those spaces.
  std::string node = firstViewNode(*parsed);
  std::printf(
      "get_tree with %zu views: %zu bytes, %.0f bytes a view (one view node %zu bytes "
      "compact)\n",
      views->size(), tree->size(), double(tree->size()) / double(views->size()), node.size());
  const double perView = double(tree->size()) / double(views->size());
  std::printf("10,000 such views: %.1f MB; payload limit %.1f MB\n", perView * kViews / 1e6,
              kSwayMaxPayload / 1e6);
  // A tree of 10,000 copies of the view node in one workspace, the view's size kept as sway's.
  std::string body;
  for (std::size_t i = 0; i < kViews; ++i) {
    Json v = Json::parse(node);
    v["id"] = 100000 + i;
    body += (i ? "," : "") + v.dump();
  }
  const std::string text =
      R"({"type":"root","nodes":[{"type":"output","name":"HEADLESS-1","current_workspace":"1",)"
      R"("nodes":[{"type":"workspace","name":"1","nodes":[)" +
      body + "]}]}]}";
  std::ofstream(out) << text;
  std::printf("wrote %zu bytes (compact) to %s\n", text.size(), out);
  return 0;
}

int write(const std::string& kind, const char* out) {
  std::string text;
  const std::size_t size = kSwayMaxPayload;
  if (kind == "deep") {
    text.reserve(size);
    while (text.size() + 12 < size / 2)
      text += R"({"nodes":[)";
    const std::size_t opened = text.size() / 10;
    for (std::size_t i = 0; i < opened; ++i)
      text += "]}";
  } else {
    text = R"({"nodes":[{})";
    while (text.size() + 4 < size)
      text += ",{}";
    text += "]}";
  }
  std::ofstream(out) << text;
  std::printf("wrote %zu bytes of %s tree to %s\n", text.size(), kind.c_str(), out);
  return 0;
}

int parse(const char* file, bool unbounded) {
  // One copy of the text, as the window list holds the payload.
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  std::string text(std::size_t(in.tellg()), '\0');
  in.seekg(0);
  in.read(text.data(), std::streamsize(text.size()));
  const auto start = std::chrono::steady_clock::now();
  std::optional<std::vector<SwayView>> views;
  if (unbounded) {
    if (auto tree = parseJson(text)) views = shownViews(*tree);
  } else {
    views = parseShownViews(text);
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%s, %zu bytes, %s: %s, %.0f ms, peak resident %.1f MB\n", file, text.size(),
              unbounded ? "unbounded parse" : "window list's parse",
              views ? (std::to_string(views->size()) + " views").c_str() : "refused", ms,
              usage.ru_maxrss / 1024.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "measure" && argc == 3) return measure(argv[2]);
  if (mode == "write" && argc == 4) return write(argv[2], argv[3]);
  if (mode == "parse" && (argc == 3 || argc == 4))
    return parse(argv[2], argc == 4 && std::string(argv[3]) == "unbounded");
  std::fprintf(stderr,
               "usage: wayland_sway_tree_bench measure OUT | write deep|flat OUT | parse FILE "
               "[unbounded]\n");
  return 2;
}
