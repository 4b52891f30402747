// A test's virtual input device with the connection it lives on: its own, holding the compositor's
// first seat and the `Manager` global that makes such devices, both bound at version 1 once the
// compositor has answered. The owner makes `device`; everything is released in the reverse order.
// Main thread only.
#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace orvel::waylandtest {

template <class Manager, void (*DestroyManager)(Manager*), class Device,
          void (*DestroyDevice)(Device*)>
class VirtualDeviceConnection {
 public:
  VirtualDeviceConnection() = default;
  VirtualDeviceConnection(const VirtualDeviceConnection&) = delete;
  VirtualDeviceConnection& operator=(const VirtualDeviceConnection&) = delete;
  ~VirtualDeviceConnection() {
    if (device) DestroyDevice(device);
    if (manager_) DestroyManager(manager_);
    if (seat_) wl_seat_destroy(seat_);
    if (registry_) wl_registry_destroy(registry_);
    if (display_) wl_display_disconnect(display_);
  }

  // Whether the compositor answered and offers a seat and the manager `managerInterface` names.
  bool open(const std::string& display, const wl_interface& managerInterface) {
    managerInterface_ = &managerInterface;
    display_ = wl_display_connect(display.c_str());
    if (!display_) return false;
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistry, this);
    return wl_display_roundtrip(display_) >= 0 && manager_ && seat_;
  }

  wl_display* display() const { return display_; }
  wl_seat* seat() const { return seat_; }
  Manager* manager() const { return manager_; }

  Device* device = nullptr;

 private:
  static void global(void* data, wl_registry* r, std::uint32_t name, const char* interface,
                     std::uint32_t) {
    auto& self = *static_cast<VirtualDeviceConnection*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self.seat_) {
      self.seat_ = static_cast<wl_seat*>(wl_registry_bind(r, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, self.managerInterface_->name) == 0) {
      self.manager_ = static_cast<Manager*>(wl_registry_bind(r, name, self.managerInterface_, 1));
    }
  }
  static constexpr wl_registry_listener kRegistry = {global,
                                                     [](void*, wl_registry*, std::uint32_t) {}};

  const wl_interface* managerInterface_ = nullptr;
  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  Manager* manager_ = nullptr;
};

}  // namespace orvel::waylandtest
