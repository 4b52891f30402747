// One owned reference to an sd-bus message: a method call being filled, a reply or a signal being
// read. Arguments are appended and read with sd-bus itself (sd_bus_message_append /
// sd_bus_message_read on get()), whose type strings already say everything a wrapper would.
// Loop thread only, like the connection the message belongs to.
#pragma once

#include <systemd/sd-bus.h>

#include <string>
#include <utility>

namespace orvel::dbus {

class DbusMessage {
 public:
  DbusMessage() = default;
  // Takes over a reference the caller owns.
  static DbusMessage adopt(sd_bus_message* m) { return DbusMessage(m); }
  // Adds a reference of its own.
  static DbusMessage share(sd_bus_message* m) { return DbusMessage(sd_bus_message_ref(m)); }
  ~DbusMessage() { sd_bus_message_unref(message_); }
  DbusMessage(DbusMessage&& other) noexcept : message_(std::exchange(other.message_, nullptr)) {}
  DbusMessage& operator=(DbusMessage&& other) noexcept {
    if (this != &other) {
      sd_bus_message_unref(message_);
      message_ = std::exchange(other.message_, nullptr);
    }
    return *this;
  }
  DbusMessage(const DbusMessage&) = delete;
  DbusMessage& operator=(const DbusMessage&) = delete;

  sd_bus_message* get() const { return message_; }
  explicit operator bool() const { return message_ != nullptr; }

  std::string member() const { return text(sd_bus_message_get_member(message_)); }
  std::string path() const { return text(sd_bus_message_get_path(message_)); }
  std::string sender() const { return text(sd_bus_message_get_sender(message_)); }

 private:
  explicit DbusMessage(sd_bus_message* m) : message_(m) {}
  static std::string text(const char* s) { return s ? s : ""; }
  sd_bus_message* message_ = nullptr;
};

}  // namespace orvel::dbus
