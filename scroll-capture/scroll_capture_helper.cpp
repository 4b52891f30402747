#include "scroll_capture_helper.h"

#include "messages.h"
#include "scroll_notification_host.h"
#include "selection_view.h"

namespace orvel::scroll {

Json rectJSON(const Rect& r) {
  const Rect s = r.standardized();
  return {{"x", s.x}, {"y", s.y}, {"width", s.width}, {"height", s.height}};
}

ScrollCaptureHelper::ScrollCaptureHelper(EventLoop& loop, ScrollPorts ports, ReplyChannel& out,
                                         ProcessIdentity identity,
                                         std::function<void(int)> exitProcess)
    : loop_(loop),
      ports_(ports),
      out_(out),
      identity_(identity),
      exitProcess_(std::move(exitProcess)) {}

ScrollCaptureHelper::~ScrollCaptureHelper() {
  // Panels refer to the views; close them first.
  state_.panels.clear();
}

void ScrollCaptureHelper::receive(const LineReader::Result& line) {
  if (line.kind == LineReader::Kind::End) {
    loop_.post([this] { endOfInput(); });
    return;
  }
  std::optional<Json> request;
  if (line.kind == LineReader::Kind::Line) request = parseJson(line.text);
  if (!request || !request->is_object()) {
    // Written here, on the reader thread: the state is not involved. Ending is the loop's job.
    const std::string reply = *encodeJson(Json{{"ok", false}, {"error", msg::kInvalidCommand}});
    if (!out_.write(reply)) loop_.post([this] { exitWith(0); });
    return;
  }
  loop_.post([this, request = std::move(*request)] { handleRequest(request); });
}

void ScrollCaptureHelper::handleRequest(const Json& request) {
  if (exited_) return;
  spawn(loop_, dispatch(request));
}

void ScrollCaptureHelper::endOfInput() {
  if (exited_) return;
  state_.lockedTarget.reset();
  exitWith(0);
}

void ScrollCaptureHelper::exitWith(int status) {
  if (exited_) return;
  exited_ = true;
  exitProcess_(status);
}

void ScrollCaptureHelper::send(const Json& reply, std::span<const std::uint8_t> pixels) {
  if (exited_) return;
  auto text = encodeJson(reply);
  if (!text) {
    exitWith(2);
    return;
  }
  // A host that closed our output is gone; nobody is left to serve.
  if (!out_.write(*text, pixels)) exitWith(0);
}

void ScrollCaptureHelper::sendFailure(const CaptureError& error) {
  send({{"ok", false}, {"error", error.description}});
}

Task<> ScrollCaptureHelper::dispatch(Json request) {
  std::optional<std::string> command;
  if (auto it = request.find("command"); it != request.end() && it->is_string()) {
    command = it->get<std::string>();
  }
  if (command == "select") {
    auto reply = co_await selectRegion();
    if (!reply) co_return sendFailure(reply.error());
    co_return send(*reply);
  }
  if (command == "region") {
    auto reply = co_await selectNormalRegion();
    if (!reply) co_return sendFailure(reply.error());
    co_return send(*reply);
  }
  if (command == "capture") {
    auto done = co_await capture();
    if (!done) sendFailure(done.error());
    co_return;
  }
  if (command == "activate") {
    auto done = co_await activateTarget();
    if (!done) co_return sendFailure(done.error());
    co_return send({{"ok", true}});
  }
  if (command == "fallback") {
    auto switched = fallback();
    if (!switched) co_return sendFailure(switched.error());
    co_return send({{"ok", true}, {"switched", *switched}});
  }
  if (command == "scroll") {
    double fraction = 0;
    if (auto it = request.find("fraction"); it != request.end() && it->is_number()) {
      fraction = it->get<double>();
    }
    auto done = co_await scroll(fraction);
    if (!done) co_return sendFailure(done.error());
    co_return send({{"ok", true}});
  }
  if (command == "close") {
    state_.lockedTarget.reset();
    send({{"ok", true}});
    exitWith(0);
    co_return;
  }
  sendFailure({msg::kUnknownCommand});
}

const ScrollWindowPolicy& ScrollCaptureHelper::windowPolicy() {
  if (!windowPolicy_) {
    ContentOwners owners = ports_.contentBounds.owners();
    windowPolicy_.emplace(std::set<std::int32_t>{identity_.parentPID, identity_.pid},
                          std::move(owners.dockPIDs), std::move(owners.notificationPIDs),
                          ports_.windowServer.cursorLevel(), ports_.windowServer.dockLevel());
  }
  return *windowPolicy_;
}

const ScrollWindowPolicy& ScrollCaptureHelper::windowPolicy(
    const std::vector<ScrollWindowInfo>& shown) {
  const ScrollWindowPolicy& policy = windowPolicy();
  if (!policy.meetsNewContentOwner(shown)) return policy;
  ContentOwners owners = ports_.contentBounds.owners();
  windowPolicy_ =
      policy.withOwners(std::move(owners.dockPIDs), std::move(owners.notificationPIDs), shown);
  return *windowPolicy_;
}

Json ScrollCaptureHelper::windows() {
  Json list = ports_.windowServer.onScreenWindows();
  if (!list.is_array()) return Json::array();
  for (const auto& entry : list) {
    if (!entry.is_object()) return Json::array();
  }
  return list;
}

Unexpected<CaptureError> ScrollCaptureHelper::refused(platform::PermissionReply reply,
                                                      const char* usual) {
  return fail(ports_.permissions.denialReply(reply).value_or(usual));
}

double ScrollCaptureHelper::mainHeight() {
  if (!mainHeight_) {
    auto screens = ports_.screens.screens();
    mainHeight_ = screens.empty() ? 0.0 : screens.front().frame.maxY();
  }
  return *mainHeight_;
}

Point ScrollCaptureHelper::quartz(Point screenPoint) {
  return {screenPoint.x, mainHeight() - screenPoint.y};
}

}  // namespace orvel::scroll
