// What the KDE and GNOME scroll desktops share: the Wayland scroll desktop whose window list,
// focus, stacking and activation come from a compositor-side report
// (platform/linux/reported_window_list.h) kept on the helper's own session-bus connection, driven
// by the loop. The backend brings the list and how it starts, frames, the wheel and what is
// allowed. Header only: it is built into the backends, which link the D-Bus client.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "orvel/common/event_loop.h"
#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"
#include "platform/linux/reported_window_list.h"
#include "platform/linux/reported_workspace.h"
#include "platform/wayland/layer_shell_scroll_desktop.h"
#include "platform/wayland/reported_window_server.h"

namespace orvel::wayland {

class ReportedScrollDesktop : public LayerShellScrollDesktop {
 public:
  ~ReportedScrollDesktop() override {
    stop();
    // The list lets go of what it holds on the bus (KWin's scripts) while the bus is still there.
    list_.reset();
    bus_.reset();
  }

 protected:
  using LayerShellScrollDesktop::LayerShellScrollDesktop;
  using ListStart = std::function<Task<Expected<void, Failure>>()>;

  // Opens the session bus on `loop`; false, the desktop declined with the reason, when there is
  // none.
  bool openBus(EventLoop& loop) {
    auto bus = dbus::DbusConnection::openSession(loop);
    if (!bus) {
      decline("no session bus (" + bus.error().description + ")");
      return false;
    }
    bus_ = std::move(bus).value();
    return true;
  }
  // Valid once openBus() succeeded.
  dbus::DbusConnection& bus() { return *bus_; }

  // Once the stage is up: serves the ports over `list`, which `start` starts on a later turn of
  // `loop`; a failure to start is recorded in the list, which then says why it is unreadable.
  void serveReported(EventLoop& loop, std::unique_ptr<platform::ReportedWindowList> list,
                     std::unique_ptr<platform::Permissions> permissions,
                     std::unique_ptr<platform::ScrollEvents> wheel, ListStart start) {
    list_ = std::move(list);
    serve({std::move(permissions),
           std::make_unique<ReportedWindowServer>(*list_, stage().screens()),
           std::make_unique<platform::ReportedWorkspace>(*list_), std::move(wheel)});
    spawn(loop, startList(*list_, std::move(start)));
  }

 private:
  static Task<> startList(platform::ReportedWindowList& list, ListStart start) {
    auto starting = start();
    auto started = co_await starting;
    if (!started) list.startFailed(started.error().description);
  }

  std::unique_ptr<dbus::DbusConnection> bus_;
  std::unique_ptr<platform::ReportedWindowList> list_;
};

}  // namespace orvel::wayland
