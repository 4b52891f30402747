#include "platform/wayland/sway_window_list.h"

#include <cstdlib>

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
  if (!path) path = std::getenv("SWAYSOCK");
  std::unique_ptr<SwayWindowList> list(new SwayWindowList(path ? path : ""));
  list->answered();
  return list;
}

bool SwayWindowList::connect(SwayDeadline deadline) {
  auto requests = SwayIpc::open(path_);
  auto events = SwayIpc::open(path_);
  if (!requests || !events) return false;
  const auto reply = events->request(SwayMessage::kSubscribe, kSubscription, deadline);
  const auto parsed = reply ? parseJson(*reply) : std::nullopt;
  if (!parsed || !succeeded(*parsed)) return false;
  requests_ = std::move(requests);
  events_ = std::move(events);
  // What happened while no events came is unknown.
  stale_ = true;
  answered_ = true;
  return true;
}

void SwayWindowList::disconnect() {
  if (requests_) roundTrips_ += requests_->roundTrips();
  requests_.reset();
  events_.reset();
}

bool SwayWindowList::connected(SwayDeadline deadline) {
  if (requests_ && requests_->ok() && events_ && events_->ok()) return true;
  disconnect();
  const auto now = std::chrono::steady_clock::now();
  if (now < retryAt_) return false;
  if (connect(deadline)) return true;
  retryAt_ = std::chrono::steady_clock::now() + kSwayRetryPause;
  return false;
}

std::optional<std::string> SwayWindowList::request(SwayMessage type, const std::string& payload,
                                                   SwayDeadline deadline) {
  auto reply = requests_->request(type, payload, deadline);
  if (!reply) {
    disconnect();
    retryAt_ = std::chrono::steady_clock::now() + kSwayRetryPause;
  }
  return reply;
}

bool SwayWindowList::answered() {
  std::lock_guard lock(mutex_);
  if (!answered_) connected(std::chrono::steady_clock::now() + kSwayExchangeDeadline);
  return answered_;
}

std::optional<std::vector<SwayView>> SwayWindowList::read(SwayFreshness freshness) {
  std::lock_guard lock(mutex_);
  const SwayDeadline deadline = std::chrono::steady_clock::now() + kSwayExchangeDeadline;
  if (!connected(deadline)) return std::nullopt;
  // Any event makes the cache stale (a flood keeps it so); without the events it cannot be trusted.
  if (events_->takeEvents(kSwayEventBytesPerRead) > 0 || !events_->ok() ||
      freshness == SwayFreshness::kAsk)
    stale_ = true;
  if (!stale_) return views_;
  const auto tree = request(SwayMessage::kGetTree, {}, deadline);
  if (!tree) return std::nullopt;
  auto views = parseShownViews(*tree);
  if (!views) return std::nullopt;
  views_ = std::move(*views);
  stale_ = false;
  ++treeReads_;
  return views_;
}

bool SwayWindowList::run(const std::string& command) {
  std::lock_guard lock(mutex_);
  const SwayDeadline deadline = std::chrono::steady_clock::now() + kSwayExchangeDeadline;
  if (!connected(deadline)) return false;
  const auto reply = request(SwayMessage::kRunCommand, command, deadline);
  return reply && swayCommandsSucceeded(*reply);
}

std::uint64_t SwayWindowList::roundTrips() {
  std::lock_guard lock(mutex_);
  return roundTrips_ + (requests_ ? requests_->roundTrips() : 0);
}

std::uint64_t SwayWindowList::treeReads() {
  std::lock_guard lock(mutex_);
  return treeReads_;
}

}  // namespace orvel::wayland
