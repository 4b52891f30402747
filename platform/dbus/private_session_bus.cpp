#include "platform/dbus/private_session_bus.h"

namespace orvel::dbus {

PrivateSessionBus::PrivateSessionBus() {
  auto bus = DbusConnection::openSession(loop_);
  if (bus)
    bus_ = std::move(bus).value();
  else
    failure_ = bus.error().description;
}

}  // namespace orvel::dbus
