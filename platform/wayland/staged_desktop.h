// What every Wayland desktop keeps, whatever the helper: the main connection, why the compositor
// was declined, and the overlay stage made once the compositor was found usable.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "orvel/common/event_loop.h"
#include "platform/wayland/overlay_stage.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::wayland {

class StagedDesktop {
 public:
  StagedDesktop(const StagedDesktop&) = delete;
  StagedDesktop& operator=(const StagedDesktop&) = delete;

  // Whether the compositor answered and offers everything the backend needs; why not, for the log.
  bool usable() const { return stage_ != nullptr; }
  const std::string& whyNot() const { return whyNot_; }

 protected:
  // `connection` null: no compositor answered.
  explicit StagedDesktop(std::unique_ptr<WaylandConnection> connection);
  ~StagedDesktop();

  // Null when no compositor answered.
  WaylandConnection* connection() const { return connection_.get(); }
  void decline(std::string why) { whyNot_ = std::move(why); }
  // Declines with `why` when there is one: true when declined.
  bool declines(std::string why) {
    if (why.empty()) return false;
    decline(std::move(why));
    return true;
  }
  bool declines(std::optional<std::string> why) { return why && declines(std::move(*why)); }
  // Once the backend found the compositor usable.
  void startStage(EventLoop& loop, OverlayStage::Options options);
  // Valid only when usable.
  OverlayStage& stage() const { return *stage_; }
  void endStage() { stage_.reset(); }

 private:
  std::string whyNot_;
  std::unique_ptr<WaylandConnection> connection_;
  std::unique_ptr<OverlayStage> stage_;
};

}  // namespace orvel::wayland
