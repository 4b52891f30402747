// orvel_kde_hand: the user's hand on a KWin for the tests, through org_kde_kwin_fake_input (which
// KWin announces only to a program its desktop entry authorises). Reads commands on standard input,
// answers each with one line once KWin has read the requests:
//   "globals" answers "globals I1 I2 ...": the interface of every global KWin announced to it;
//   "move X Y" moves the pointer to (X, Y) in the compositor's logical space;
//   "button down|up" presses or releases the left button;
//   "wheel V" turns the vertical wheel by V (positive: towards the content's end);
//   "key CODE down|up" presses or releases a key (Linux input code).
// The input commands answer "ok", or "no fake input" when KWin did not announce it. Prints
// "ready" first.
#include <wayland-client.h>

#include <cstdint>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "fake-input-client-protocol.h"

namespace {

constexpr std::uint32_t kLeftButton = 0x110;  // BTN_LEFT

struct Hand {
  std::vector<std::string> globals;
  org_kde_kwin_fake_input* fakeInput = nullptr;
};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t version) {
  auto* hand = static_cast<Hand*>(data);
  hand->globals.emplace_back(interface);
  if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
    hand->fakeInput = static_cast<org_kde_kwin_fake_input*>(
        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
  }
}

void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

std::uint32_t pressState(const std::string& word) {
  return word == "down" ? 1 : 0;
}

}  // namespace

int main() {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    std::cerr << "orvel_kde_hand: no compositor at WAYLAND_DISPLAY\n";
    return 1;
  }
  Hand hand;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistryListener, &hand);
  wl_display_roundtrip(display);
  if (hand.fakeInput) {
    org_kde_kwin_fake_input_authenticate(hand.fakeInput, "Orvel tests", "the tests' hand");
  }
  wl_display_roundtrip(display);
  std::cout << "ready" << std::endl;
  for (std::string line; std::getline(std::cin, line);) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "globals") {
      std::cout << "globals";
      for (const auto& g : hand.globals)
        std::cout << ' ' << g;
      std::cout << std::endl;
      continue;
    }
    if (!hand.fakeInput) {
      std::cout << "no fake input" << std::endl;
      continue;
    }
    if (command == "move") {
      double x = 0, y = 0;
      words >> x >> y;
      org_kde_kwin_fake_input_pointer_motion_absolute(hand.fakeInput, wl_fixed_from_double(x),
                                                      wl_fixed_from_double(y));
    } else if (command == "button") {
      std::string state;
      words >> state;
      org_kde_kwin_fake_input_button(hand.fakeInput, kLeftButton, pressState(state));
    } else if (command == "wheel") {
      double value = 0;
      words >> value;
      org_kde_kwin_fake_input_axis(hand.fakeInput, WL_POINTER_AXIS_VERTICAL_SCROLL,
                                   wl_fixed_from_double(value));
    } else if (command == "key") {
      std::uint32_t code = 0;
      std::string state;
      words >> code >> state;
      org_kde_kwin_fake_input_keyboard_key(hand.fakeInput, code, pressState(state));
    } else {
      std::cout << "unknown command" << std::endl;
      continue;
    }
    if (wl_display_roundtrip(display) < 0) return 1;
    std::cout << "ok" << std::endl;
  }
  if (hand.fakeInput) org_kde_kwin_fake_input_destroy(hand.fakeInput);
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return 0;
}
