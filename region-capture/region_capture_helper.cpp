#include "region_capture_helper.h"

#include "messages.h"
#include "request.h"

namespace orvel::region {

namespace {

constexpr std::size_t kMaxRequestBytes = 4095;

}  // namespace

std::uint64_t shieldEventMask() {
  using namespace platform;
  std::uint64_t mask = 0;
  for (std::uint32_t type : {kLeftMouseDown, kLeftMouseUp, kLeftMouseDragged, kRightMouseDown,
                             kRightMouseUp, kRightMouseDragged, kOtherMouseDown, kOtherMouseUp,
                             kOtherMouseDragged, kMouseMoved, kScrollWheel, kKeyDown}) {
    mask |= std::uint64_t{1} << type;
  }
  return mask;
}

RegionCaptureHelper::RegionCaptureHelper(EventLoop& loop, RegionPorts ports, HelperIo io)
    : loop_(loop),
      ports_(ports),
      io_(std::move(io)),
      trace_(loop.clock(), io_.environment, io_.writeTrace),
      filters_(loop, ports.screens, ports.capture, io_.pids),
      captureSlot_(loop) {}

void RegionCaptureHelper::follow(platform::DesktopEvents& events) {
  events.onDisplayLost([this] {
    if (auto session = active_) session->cancel();
  });
  events.onInputTaken([this] { inputHeldElsewhere(); });
  // Told in the middle of the desktop's event handling: the capture ends once that is done.
  events.onDisplaysChanged([this] {
    loop_.defer([this] {
      if (auto session = active_) session->displaysChanged();
    });
  });
}

void RegionCaptureHelper::start() {
  if (ports_.permissions.postEventAllowed() && ports_.permissions.accessibilityTrusted()) {
    inputTap_ = ports_.shield.install(
        shieldEventMask(), [this](const platform::InputEvent& event) { return intercept(event); });
  }
  if (ports_.permissions.screenCaptureAllowed()) {
    Warming warming(loop_);
    warming_ = warming;
    spawn(loop_, [](CaptureFilters& filters, Warming done) -> Task<void> {
      auto refreshed = co_await filters.refresh();
      done.resolve(refreshed ? std::nullopt : std::optional<HelperError>(refreshed.error()));
    }(filters_, warming));
  }
}

std::optional<RegionCaptureHelper::Warming> RegionCaptureHelper::takeWarming() {
  return std::exchange(warming_, std::nullopt);
}

void RegionCaptureHelper::enableInputTap(bool enabled) {
  if (inputTap_) ports_.shield.setEnabled(enabled);
}

void RegionCaptureHelper::reply(const Json& object) {
  if (auto line = encodeJson(object)) io_.writeReply(*line);
}

void RegionCaptureHelper::receiveLine(std::string_view line) {
  if (exitStatus_ || line.size() > kMaxRequestBytes) return;
  auto parsed = parseJson(line);
  if (!parsed || !parsed->is_object()) return;
  handleRequest(*parsed);
}

void RegionCaptureHelper::endOfInput() {
  if (exitStatus_) return;
  quit();
}

void RegionCaptureHelper::inputHeldElsewhere() {
  const auto shield = shield_.current();
  if (!shield) return;
  loop_.post([this, wanted = *shield] {
    if (active_ && active_->shield == wanted) {
      auto session = active_;
      session->fail(failure(kInputUnavailable));
    }
  });
}

void RegionCaptureHelper::quit() {
  if (active_) {
    auto session = active_;
    session->cancel();
  }
  exitStatus_ = 0;
  loop_.stop();
}

void RegionCaptureHelper::handleRequest(const Json& object) {
  if (object.empty()) return;
  const Request request = readRequest(object);
  if (!request.command) return;
  const std::string& command = *request.command;
  if (command == "prepare") {
    prepare(request.id);
  } else if (command == "capture") {
    if (active_ && active_->id == request.id && request.path) {
      auto session = active_;
      session->capture(*request.path);
    }
  } else if (command == "cancel") {
    if (active_ && active_->id == request.id) {
      auto session = active_;
      session->cancel();
    }
  } else if (command == "quit") {
    quit();
  }
}

void RegionCaptureHelper::prepare(std::int64_t id) {
  auto earlier = active_;
  if (!inputTap_ || !ports_.permissions.postEventAllowed() ||
      !ports_.permissions.accessibilityTrusted()) {
    if (earlier) earlier->cancel();
    reply({{"id", id}, {"ok", false}, {"permission", true}, {"error", kAccessibilityRequired}});
    return;
  }
  // The new capture takes the shield over before the earlier one lets go, so the grabs never
  // drop in between and an Escape pressed meanwhile reaches the new capture.
  auto session = std::make_shared<RegionSession>(*this, id);
  session->exclusions = ports_.capture.holdExclusions();
  session->shield = shield_.raise(session->id, session->started);
  enableInputTap(true);
  if (earlier) earlier->cancel();
  active_ = session;
  session->open();
}

bool RegionCaptureHelper::intercept(const platform::InputEvent& event) {
  const auto shield = shield_.current();
  if (event.type == platform::kShieldDisabledByTimeout ||
      event.type == platform::kShieldDisabledByUserInput) {
    if (shield && inputTap_) ports_.shield.setEnabled(true);
    return true;
  }
  if (!shield) return true;
  if (event.type == platform::kLeftMouseDown) trace_("pointer-intercepted", shield->started);
  const bool escape = event.type == platform::kKeyDown && event.keyCode == platform::kEscapeKeyCode;
  loop_.post([this, owner = *shield, event, escape] { handleShieldEvent(owner, event, escape); });
  return false;
}

void RegionCaptureHelper::handleShieldEvent(const Shield& owner, const platform::InputEvent& event,
                                            bool escape) {
  if (!active_ || active_->shield != owner) return;
  auto session = active_;
  switch (event.type) {
    case platform::kLeftMouseDown:
      session->press(event.location);
      break;
    case platform::kLeftMouseUp:
      session->up(event.location);
      break;
    case platform::kMouseMoved:
      ports_.overlay.setCursor(platform::CursorKind::Crosshair);
      break;
    case platform::kLeftMouseDragged:
      session->drag(event.location);
      break;
    case platform::kKeyDown:
      if (escape) session->cancel();
      break;
    default:
      // Other buttons and the wheel were swallowed so that nothing under the overlay reacts.
      break;
  }
}

}  // namespace orvel::region
