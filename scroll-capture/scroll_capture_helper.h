// The scroll-capture helper: reads commands, runs each as a task on the main loop, and replies.
//
// Threads: `receive()` runs on the reader thread and only writes "Invalid command." replies and
// posts requests to the loop; everything else runs on the loop's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "capture_error.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/json_text.h"
#include "orvel/common/line_reader.h"
#include "orvel/common/reply_writer.h"
#include "orvel/common/task.h"
#include "scroll_helper_state.h"
#include "scroll_ports.h"
#include "scroll_window_policy.h"

namespace orvel::scroll {

class SelectionView;

struct ProcessIdentity {
  std::int32_t pid = 0;
  std::int32_t parentPID = 0;
};

class ScrollCaptureHelper {
 public:
  // `exitProcess` ends the process with a status; tests record it instead.
  ScrollCaptureHelper(EventLoop& loop, ScrollPorts ports, ReplyChannel& out,
                      ProcessIdentity identity, std::function<void(int)> exitProcess);
  ~ScrollCaptureHelper();

  // Reader thread: one result of the line reader.
  void receive(const LineReader::Result& line);
  // Loop thread: a parsed request object; starts its command.
  void handleRequest(const Json& request);
  // Loop thread: standard input has ended.
  void endOfInput();

  ScrollHelperState& state() { return state_; }
  const ScrollWindowPolicy& windowPolicy();
  // The policy, its dock and notification owners read again first when `shown` (the window list)
  // holds a window at their levels of a process not considered yet.
  const ScrollWindowPolicy& windowPolicy(const std::vector<ScrollWindowInfo>& shown);
  // Returns nothing or the first failed check's message; changes nothing.
  Outcome<> validate();

  // Overlay input, called by the views (window coordinates of `panel`).
  void mouseDown(const platform::OverlayPanel& panel, Point inWindow);
  void mouseDragged(const platform::OverlayPanel& panel, Point inWindow);
  void mouseUp(const platform::OverlayPanel& panel, Point inWindow);
  void keyDown(std::uint16_t keyCode);

 private:
  Task<> dispatch(Json request);
  // Writes a reply; ends the process with status 2 when it cannot be encoded.
  void send(const Json& reply, std::span<const std::uint8_t> pixels = {});
  void sendFailure(const CaptureError& error);
  void exitWith(int status);

  // Commands.
  Task<Outcome<Json>> selectRegion();
  Task<Outcome<Json>> selectNormalRegion();
  Task<Outcome<>> capture();
  Task<Outcome<>> activateTarget();
  Task<Outcome<>> scroll(double fraction);
  // A scroll made click by click where the wheel only clicks: see MeasuredScroll.
  Task<Outcome<>> measuredScroll(double fraction);
  // The row hashes of a frame of the locked region.
  // One picture of the selected region, taken off the loop thread.
  Task<Expected<Image, platform::PlatformError>> grabRegion();
  Task<Outcome<std::vector<std::uint64_t>>> regionRows();
  Outcome<bool> fallback();

  // Selection overlay.
  Task<std::optional<Rect>> chooseRegion(std::string instruction);
  void completeSelection(std::optional<Rect> region);
  // Outlines the chosen region on every panel, or clears the outlines when there is none.
  void showChosenRegion();
  // Capture setup for a locked region: stores filter and configuration, yields the pixel size.
  // Keeps `exclusions` with the target when an excluded window overlaps the region.
  Task<Outcome<std::pair<int, int>>> setUpCapture(
      Rect region, std::unique_ptr<platform::ExclusionHold> exclusions);

  Json windows();
  // The failure for a refused permission: the platform's own reply where it names what is
  // missing, else `usual`.
  Unexpected<CaptureError> refused(platform::PermissionReply reply, const char* usual);
  double mainHeight();
  Point quartz(Point screenPoint);

  EventLoop& loop_;
  ScrollPorts ports_;
  ReplyChannel& out_;
  ProcessIdentity identity_;
  std::function<void(int)> exitProcess_;
  bool exited_ = false;

  ScrollHelperState state_;
  std::vector<std::unique_ptr<SelectionView>> views_;
  std::optional<ScrollWindowPolicy> windowPolicy_;
  std::optional<double> mainHeight_;
};

Json rectJSON(const Rect& r);

}  // namespace orvel::scroll
