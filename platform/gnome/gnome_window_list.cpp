#include "platform/gnome/gnome_window_list.h"

#include <cstring>

namespace orvel::gnome {

namespace {

using namespace std::chrono_literals;

// The extension answers from the shell's main loop, which a busy shell may hold for a while.
constexpr auto kReportDeadline = 5s;
constexpr const char* kAccessDenied = "org.freedesktop.DBus.Error.AccessDenied";
const dbus::DbusTarget kBusDaemon{"org.freedesktop.DBus", "/org/freedesktop/DBus",
                                  "org.freedesktop.DBus"};

}  // namespace

Task<Expected<void, Failure>> GnomeWindowList::start(Duration deadline) {
  auto owners = bus_.subscribeConfirmed(
      {kBusDaemon.destination, kBusDaemon.path, kBusDaemon.interface, "NameOwnerChanged"},
      [this](const dbus::DbusMessage& m) {
        const char *name = nullptr, *before = nullptr, *after = nullptr;
        if (sd_bus_message_read(m.get(), "sss", &name, &before, &after) < 0 || !name || !after)
          return;
        if (std::strcmp(name, kExtensionBusName) == 0) ownerIs(after);
      },
      deadline);
  auto ownerChanges = co_await owners;
  if (!ownerChanges) co_return unexpected(std::move(ownerChanges).error());
  ownerChanges_ = std::move(*ownerChanges);
  // sd-bus matches senders by unique name only: the handler checks it is the extension's.
  auto changes = bus_.subscribeConfirmed(
      {"", kExtensionWindowsPath, kExtensionWindowsInterface, "WindowsChanged"},
      [this](const dbus::DbusMessage& m) {
        if (!owner_.empty() && m.sender() == owner_) refresh();
      },
      deadline);
  auto windowChanges = co_await changes;
  if (!windowChanges) co_return unexpected(std::move(windowChanges).error());
  windowChanges_ = std::move(*windowChanges);

  auto ask = bus_.newCall(kBusDaemon, "GetNameOwner");
  if (!ask || sd_bus_message_append(ask.get(), "s", kExtensionBusName) < 0)
    co_return failed("Cannot ask the session bus for Orvel's GNOME Shell extension.");
  auto asking = bus_.call(std::move(ask), deadline);
  auto owner = co_await asking;
  const char* name = nullptr;
  // An error here is the bus saying that nobody owns the name.
  if (owner && sd_bus_message_read(owner->get(), "s", &name) >= 0 && name) {
    // A NameOwnerChanged handled meanwhile is as new as this answer.
    if (owner_.empty()) ownerIs(name);
  } else if (owner_.empty()) {
    ownerIs("");
  }
  co_return Expected<void, Failure>{};
}

void GnomeWindowList::ownerIs(std::string owner) {
  owner_ = std::move(owner);
  if (owner_.empty()) {
    state_ = State::kAbsent;
    forget();
    return;
  }
  state_ = State::kAsking;
  refresh();
}

void GnomeWindowList::refresh() {
  again_ = true;
  if (refreshing_) return;
  refreshing_ = true;
  spawn(bus_.loop(), runRefreshes(alive_));
}

Task<> GnomeWindowList::runRefreshes(std::shared_ptr<bool> alive) {
  while (again_ && !owner_.empty()) {
    again_ = false;
    const std::string asked = owner_;
    auto request =
        bus_.newCall({asked, kExtensionWindowsPath, kExtensionWindowsInterface}, "GetWindows");
    auto calling = bus_.call(std::move(request), kReportDeadline);
    auto reply = co_await calling;
    if (!*alive) co_return;
    // The extension left or came back meanwhile: its new connection is asked next.
    if (asked != owner_) continue;
    if (!reply) {
      const std::string& why = reply.error().description;
      if (why.rfind(kAccessDenied, 0) == 0) {
        state_ = State::kRefused;
        refusal_ = why;
        forget();
      }
      // Anything else (a reply too late, the extension leaving) shows at the next change.
      continue;
    }
    const char* text = nullptr;
    std::optional<std::vector<platform::ReportedWindow>> windows;
    if (sd_bus_message_read(reply->get(), "s", &text) >= 0 && text &&
        std::strlen(text) <= kMaxReportBytes) {
      windows = platform::parseWindowReport(text);
    }
    if (!windows) continue;
    state_ = State::kAnswering;
    take(std::move(*windows));
  }
  refreshing_ = false;
}

void GnomeWindowList::activate(const std::string& id) {
  if (owner_.empty() || bus_.lost()) return;
  auto request =
      bus_.newCall({owner_, kExtensionWindowsPath, kExtensionWindowsInterface}, "Activate");
  if (!request || sd_bus_message_append(request.get(), "s", id.c_str()) < 0) return;
  // A refused or failed activation shows as the focus staying where it was.
  sd_bus_message_set_expect_reply(request.get(), 0);
  sd_bus_send(bus_.raw(), request.get(), nullptr);
  bus_.pump();
}

void GnomeWindowList::startFailed(const std::string& why) {
  state_ = State::kFailed;
  refusal_ = why;
}

std::optional<std::string> GnomeWindowList::whyUnreadable() const {
  switch (state_) {
    case State::kAbsent:
      return kExtensionNotEnabled;
    case State::kRefused:
      return std::string(kExtensionRefused) + " (" + refusal_ + ").";
    case State::kFailed:
      return std::string(kExtensionUnasked) + " (" + refusal_ + ").";
    case State::kAsking:
    case State::kAnswering:
      break;
  }
  return std::nullopt;
}

}  // namespace orvel::gnome
