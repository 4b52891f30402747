// One instant capture, from "prepare" to its single reply: the overlay panels, the selection made
// with the left button, the frozen pictures and the export.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frozen_frame.h"
#include "helper_error.h"
#include "orvel/common/json_text.h"
#include "orvel/common/task.h"
#include "platform/overlay.h"
#include "platform/screen_capture.h"
#include "region_view.h"
#include "shield_state.h"
#include "topology.h"

namespace orvel::region {

class RegionCaptureHelper;

struct RegionPanel {
  std::unique_ptr<RegionView> view;
  // Declared after the view so that it is closed before the view goes.
  std::unique_ptr<platform::OverlayPanel> window;
};

// The snapshot task as the session sees it: it can only be asked to stop, and it stops at its
// next check on the main thread. The workers taking its pictures see the request too.
struct TaskHandle {
  std::shared_ptr<std::atomic<bool>> cancelRequested = std::make_shared<std::atomic<bool>>(false);
};

class RegionSession : public std::enable_shared_from_this<RegionSession> {
 public:
  RegionSession(RegionCaptureHelper& helper, std::int64_t id);
  ~RegionSession();
  RegionSession(const RegionSession&) = delete;
  RegionSession& operator=(const RegionSession&) = delete;

  const std::int64_t id;
  const std::uint64_t started;  // monotonic nanoseconds
  const double mainHeight;
  const Topology selectionTopology;
  std::vector<RegionPanel> panels;
  std::vector<FrozenFrame> frames;
  std::optional<Rect> region;
  std::optional<Point> start;
  bool released = false;
  std::size_t picturesShown = 0;
  bool canceled = false;
  Topology capturedTopology;
  std::optional<std::string> path;
  std::optional<TaskHandle> task;
  std::optional<Shield> shield;  // set while this capture owns the input shield
  // Taken before the panels appear, so the pictures can leave them out exactly; dropped at the end.
  std::unique_ptr<platform::ExclusionHold> exclusions;

  // Raises the panels over every screen; the shield is already up.
  void open();

  // Input from a panel view, in the view's window coordinates.
  void down(Point location, RegionView& view);
  void drag(Point location, RegionView& view);
  // Input from the input shield, in global display coordinates.
  void press(Point location);
  void drag(Point location);
  void up(Point location);

  // Ends the session with `reply` (the id is added); later calls do nothing.
  void finish(Json reply);
  void cancel();
  void fail(const HelperError& error);

  // Starts freezing the displays, once; `path` is where the picture goes.
  void capture(std::string path);
  // Exports once released, frozen and given a path.
  void finishIfReady();
  // The desktop says its displays may have changed: a capture under way whose displays are no
  // longer those it started on fails with kDisplayConfigurationChanged at once, since its overlay
  // no longer covers them and some desktops then take its input away. A capture only prepared
  // finds out when it is asked to capture.
  void displaysChanged();
  // A panel's frozen picture is on screen; the last one ends the freeze as the user sees it.
  void pictureShown();

  bool isActive() const;

 private:
  // The task holds `keepAlive` so that the session outlives its waits.
  Task<void> snapshot(std::shared_ptr<RegionSession> keepAlive);
  bool stopped() const;
  Point globalFromWindow(Point location, const RegionView& view) const;
  void setRegionTo(Point location);
  // Outlines the region on every panel, or clears the outlines when there is none.
  void showRegion();
  void exportRegion();

  RegionCaptureHelper& helper_;
};

// The smallest rectangle of whole points that covers both points.
Rect regionFromPoints(Point start, Point current);

}  // namespace orvel::region
