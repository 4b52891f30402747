#include "platform/gnome/sharing_notice.h"

namespace orvel::gnome {

namespace {

const dbus::DbusTarget kCapture{"org.orvel.Helpers", "/org/orvel/Helpers/Capture",
                                "org.orvel.Helpers.Capture"};

}  // namespace

Task<std::unique_ptr<SharingNoticeHold>> SharingNoticeHold::take(dbus::DbusConnection& bus,
                                                                 Duration deadline) {
  auto reply = co_await bus.call(bus.newCall(kCapture, "HoldSharingNotice"), deadline);
  if (reply) co_return std::unique_ptr<SharingNoticeHold>(new SharingNoticeHold(bus));
  // A yes that comes after the deadline would leave a hold nobody ends before the limit.
  release(bus);
  co_return nullptr;
}

SharingNoticeHold::~SharingNoticeHold() {
  release(bus_);
}

void SharingNoticeHold::release(dbus::DbusConnection& bus) {
  if (bus.lost()) return;
  auto request = bus.newCall(kCapture, "ReleaseSharingNotice");
  if (!request) return;
  sd_bus_message_set_expect_reply(request.get(), 0);
  sd_bus_send(bus.raw(), request.get(), nullptr);
  bus.pump();
}

}  // namespace orvel::gnome
