#include "platform/wayland/sway_window_list.h"

#include "orvel/common/json_text.h"

namespace orvel::wayland {

namespace {

// sway 1.7 refuses a subscription that names "output".
constexpr char kSubscription[] = R"(["window","workspace","shutdown"])";

bool succeeded(const Json& result) {
  if (!result.is_object()) return false;
  const auto it = result.find("success");
  return it != result.end() && it->is_boolean() && it->get<bool>();
}

}  // namespace

bool swayCommandsSucceeded(std::string_view reply) {
  const auto results = parseJson(reply);
  if (!results || !results->is_array() || results->empty()) return false;
  for (const auto& r : *results)
    if (!succeeded(r)) return false;
  return true;
}

std::unique_ptr<SwayWindowList> SwayWindowList::open(const char* path) {
  auto requests = SwayIpc::open(path);
  auto events = SwayIpc::open(path);
  if (!requests || !events) return nullptr;
  const auto reply = events->request(SwayMessage::kSubscribe, kSubscription);
  const auto parsed = reply ? parseJson(*reply) : std::nullopt;
  if (!parsed || !succeeded(*parsed)) return nullptr;
  return std::unique_ptr<SwayWindowList>(
      new SwayWindowList(std::move(requests), std::move(events)));
}

std::optional<std::vector<SwayView>> SwayWindowList::read(SwayFreshness freshness) {
  std::lock_guard lock(mutex_);
  while (events_->nextEvent())
    stale_ = true;
  // Without the events, every read asks.
  if (!events_->ok() || freshness == SwayFreshness::kAsk) stale_ = true;
  if (stale_) {
    const auto tree = requests_->request(SwayMessage::kGetTree, {});
    if (!tree) return std::nullopt;
    auto views = parseShownViews(*tree);
    if (!views) return std::nullopt;
    views_ = std::move(*views);
    stale_ = false;
    ++treeReads_;
  }
  return views_;
}

bool SwayWindowList::run(const std::string& command) {
  std::lock_guard lock(mutex_);
  const auto reply = requests_->request(SwayMessage::kRunCommand, command);
  return reply && swayCommandsSucceeded(*reply);
}

std::uint64_t SwayWindowList::roundTrips() {
  std::lock_guard lock(mutex_);
  return requests_->roundTrips();
}

std::uint64_t SwayWindowList::treeReads() {
  std::lock_guard lock(mutex_);
  return treeReads_;
}

}  // namespace orvel::wayland
