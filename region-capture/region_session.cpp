#include "region_session.h"

#include <cmath>

#include "display_captures.h"
#include "messages.h"
#include "orvel/common/file_replacement.h"
#include "png_encoder.h"
#include "region_capture_helper.h"
#include "region_composition.h"

namespace orvel::region {

namespace {

constexpr int kMaxDisplaySide = 16384;
constexpr long long kMaxDisplayPixels = 50'000'000;
constexpr double kSmallestRegionSide = 2;
// Until its display's picture is frozen a panel is nearly invisible, yet never fully transparent,
// so that it still receives the pointer; then it shows the picture dimmed.
constexpr platform::Color kVeilUnfrozen{0, 0, 0, 0.01};
constexpr platform::Color kVeilFrozen{0, 0, 0, 0.22};
constexpr double kInstructionFontSize = 22;
constexpr double kOutlineWidth = 2;

double mainHeightOf(platform::Screens& screens) {
  const auto list = screens.screens();
  return list.empty() ? 0 : list.front().frame.maxY();
}

Json wholeOrFraction(double v) {
  if (v == std::trunc(v) && std::abs(v) < 9e15) return static_cast<std::int64_t>(v);
  return v;
}

}  // namespace

Rect regionFromPoints(Point s, Point p) {
  const double x = std::floor(std::min(s.x, p.x));
  const double y = std::floor(std::min(s.y, p.y));
  return {x, y, std::ceil(std::max(s.x, p.x)) - x, std::ceil(std::max(s.y, p.y)) - y};
}

RegionSession::RegionSession(RegionCaptureHelper& helper, std::int64_t sessionId)
    : id(sessionId),
      started(uptimeNanoseconds(helper.loop().clock())),
      mainHeight(mainHeightOf(helper.ports().screens)),
      selectionTopology(topology(helper.ports().screens)),
      helper_(helper) {}

RegionSession::~RegionSession() = default;

bool RegionSession::isActive() const {
  return helper_.active().get() == this;
}

bool RegionSession::stopped() const {
  return canceled || !isActive() || (task && *task->cancelRequested);
}

void RegionSession::open() {
  auto& ports = helper_.ports();
  for (const auto& screen : ports.screens.screens()) {
    RegionPanel panel;
    panel.view = std::make_unique<RegionView>();
    panel.view->session = weak_from_this();
    panel.window = ports.overlay.createPanel({screen.frame, 1000, false}, *panel.view);
    panel.view->window = panel.window.get();
    panel.window->setVeil(kVeilUnfrozen);
    panel.window->setInstruction({kInstruction, kInstructionFontSize});
    panels.push_back(std::move(panel));
    helper_.trace("window-created", started);
    // The panels never take the keyboard: keys arrive through the input shield.
    panels.back().window->show(/*makeKey=*/false);
  }
  ports.overlay.pushCursor(platform::CursorKind::Crosshair);
  helper_.trace("input-shield-shown", started);
  helper_.trace("session-input-shield", started);
}

Point RegionSession::globalFromWindow(Point location, const RegionView& view) const {
  const Point screen = view.window ? view.window->convertToScreen(location) : location;
  return {screen.x, mainHeight - screen.y};
}

void RegionSession::setRegionTo(Point location) {
  region = regionFromPoints(*start, location);
  showRegion();
}

void RegionSession::showRegion() {
  for (auto& panel : panels) {
    std::optional<platform::Outline> outline;
    if (region) {
      const Rect& r = *region;
      const Rect inScreen{r.x, mainHeight - r.maxY(), r.width, r.height};
      outline = platform::Outline{panel.window->convertFromScreen(inScreen), kOutlineWidth};
    }
    panel.window->setSelection(outline);
  }
}

void RegionSession::down(Point location, RegionView& view) {
  const Point global = globalFromWindow(location, view);
  press(global);
}

void RegionSession::press(Point location) {
  if (released) return;
  helper_.trace("pointer-received", started);
  start = location;
  region.reset();
  showRegion();
}

void RegionSession::drag(Point location, RegionView& view) {
  if (!start) return;
  setRegionTo(globalFromWindow(location, view));
}

void RegionSession::drag(Point location) {
  if (released || !start) return;
  setRegionTo(location);
}

void RegionSession::up(Point location) {
  drag(location);
  released = true;
  // Behind whatever input is already queued, as a release through the shield arrives.
  helper_.loop().defer([self = shared_from_this()] { self->finishIfReady(); });
}

void RegionSession::cancel() {
  canceled = true;
  finish({{"ok", true}, {"canceled", true}});
}

void RegionSession::fail(const HelperError& error) {
  finish({{"ok", false}, {"error", error.description}});
}

void RegionSession::finish(Json reply) {
  if (!isActive()) return;
  canceled = true;
  if (task) *task->cancelRequested = true;
  auto& ports = helper_.ports();
  ports.overlay.popCursor();
  // A capture that replaces this one already holds the shield: the grabs stay up for it.
  if (shield && helper_.shield().clear(*shield)) helper_.enableInputTap(false);
  shield.reset();
  for (auto& panel : panels)
    panel.window->close();
  exclusions.reset();
  // A view may be on the call stack (Escape or a release in a panel); it goes on a later turn.
  auto closed = std::make_shared<std::vector<RegionPanel>>(std::move(panels));
  helper_.loop().defer([closed] {});
  panels.clear();
  frames.clear();
  auto keepAlive = shared_from_this();
  helper_.clearActive();
  reply["id"] = id;
  helper_.reply(reply);
}

void RegionSession::capture(std::string outputPath) {
  if (task) return;
  path = std::move(outputPath);
  task.emplace();
  spawn(helper_.loop(), snapshot(shared_from_this()));
}

Task<void> RegionSession::snapshot(std::shared_ptr<RegionSession> /*keepAlive*/) {
  auto& ports = helper_.ports();
  if (!ports.permissions.screenCaptureAllowed()) {
    // A desktop that can say what to do (install an entry, choose another compositor) says it.
    const std::string why =
        ports.permissions.denialReply(platform::PermissionReply::kRegionScreenRecording)
            .value_or(kScreenRecordingRequired);
    finish({{"ok", false}, {"permission", true}, {"error", why}});
    co_return;
  }
  auto& filters = helper_.filters();
  if (auto warming = helper_.takeWarming()) {
    auto error = co_await warming->wait();
    if (error) filters.clear();
  }
  if (stopped()) co_return;
  helper_.trace("filters-warm", started);
  if (topology(ports.screens) != filters.filterTopology() || filters.filters().empty()) {
    auto refreshed = co_await filters.refresh();
    if (!refreshed) {
      fail(refreshed.error());
      co_return;
    }
    if (stopped()) co_return;
  }
  capturedTopology = topology(ports.screens);
  if (capturedTopology != selectionTopology) {
    fail(failure(kDisplayConfigurationChanged));
    co_return;
  }
  if (filters.filters().empty()) {
    fail(failure(kNoDisplaysAvailable));
    co_return;
  }
  helper_.trace("snapshot-requested", started);
  const std::vector<CaptureFilterEntry> entries = filters.filters();
  std::vector<DisplayCaptureJob> jobs;
  for (const auto& entry : entries) {
    platform::CaptureConfiguration configuration;
    configuration.width = static_cast<int>(std::trunc(entry.bounds.width * entry.scale));
    configuration.height = static_cast<int>(std::trunc(entry.bounds.height * entry.scale));
    configuration.showsCursor = false;
    configuration.captureResolution = 1;
    if (configuration.width > kMaxDisplaySide || configuration.height > kMaxDisplaySide ||
        static_cast<long long>(configuration.width) * configuration.height > kMaxDisplayPixels) {
      fail(failure(kDisplayExceedsLimits));
      co_return;
    }
    jobs.push_back({entry.filter, configuration});
  }
  auto& slot = helper_.captureSlot();
  while (slot.busy()) {
    co_await slot.freed();
    if (stopped()) co_return;
  }
  slot.take();
  DisplayCaptures captures(helper_.loop(), ports.capture, std::move(jobs), task->cancelRequested);
  auto results = co_await captures;
  slot.release();
  if (stopped()) co_return;
  if (results.firstFailure) {
    fail(results.pictures[*results.firstFailure].error());
    co_return;
  }
  std::vector<FrozenFrame> frozen;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& entry = entries[i];
    Image& picture = results.pictures[i].value();
    if (picture.width() != static_cast<int>(std::trunc(entry.scale * entry.bounds.width)) ||
        picture.height() != static_cast<int>(std::trunc(entry.scale * entry.bounds.height))) {
      fail(failure(kDisplayScalingChanged));
      co_return;
    }
    frozen.push_back(
        {entry.bounds, entry.scale, std::make_shared<const Image>(std::move(picture))});
  }
  frames = std::move(frozen);
  helper_.trace("screens-frozen", started);
  for (auto& panel : panels) {
    const Rect f = panel.window->frame();
    const Rect global{f.x, mainHeight - f.maxY(), f.width, f.height};
    std::shared_ptr<const Image> picture;
    for (const auto& frame : frames) {
      if (frame.bounds == global) {
        picture = frame.image;
        break;
      }
    }
    panel.window->setVeil(picture ? kVeilFrozen : kVeilUnfrozen);
    panel.window->setPicture(std::move(picture));
  }
  helper_.trace("selector-ready", started);
  finishIfReady();
}

void RegionSession::finishIfReady() {
  if (!released || frames.empty() || frames.size() != helper_.filters().filters().size() || !path) {
    return;
  }
  if (!region || !(region->width > kSmallestRegionSide) ||
      !(region->height > kSmallestRegionSide)) {
    cancel();
    return;
  }
  if (topology(helper_.ports().screens) != capturedTopology) {
    fail(failure(kDisplayConfigurationChanged));
    return;
  }
  exportRegion();
}

void RegionSession::displaysChanged() {
  if (!task || stopped()) return;
  if (topology(helper_.ports().screens) != selectionTopology)
    fail(failure(kDisplayConfigurationChanged));
}

void RegionSession::pictureShown() {
  if (++picturesShown == panels.size()) helper_.trace("overlay-shown", started);
}

void RegionSession::exportRegion() {
  auto composed = composeRegion(*region, frames);
  if (!composed) {
    fail(composed.error());
    return;
  }
  auto png = encodePng(composed->pixels, composed->scale * 72);
  if (!png) {
    fail(failure(kCannotExportCapture));
    return;
  }
  auto written = replaceFile(*path, *png);
  if (!written) {
    fail(failure(written.error().step == FileReplacementError::Step::Create ? kCannotExportCapture
                                                                            : kCannotSavePixels));
    return;
  }
  const Rect r = *region;
  finish({{"ok", true},
          {"region",
           {{"x", wholeOrFraction(r.x)},
            {"y", wholeOrFraction(r.y)},
            {"width", wholeOrFraction(r.width)},
            {"height", wholeOrFraction(r.height)}}}});
}

}  // namespace orvel::region
