// A keyboard for the tests with the whole default keymap (xkbcommon's defaults: evdev rules, a us
// layout), held for its owner's life. wtype's keyboards carry keymaps of only the keys they type,
// and the seat hands clients the keymap of its latest keyboard: foot then finds no Up or Down key
// to turn wheel steps into for programs in its alternate screen, such as less, and the wheel does
// nothing there. Keys are evdev key codes (KEY_G is 34). Main thread only.
#pragma once

#include <memory>
#include <string>

namespace orvel::waylandtest {

class VirtualKeyboard {
 public:
  // Null when the compositor offers no virtual keyboards or the keymap cannot be made.
  static std::unique_ptr<VirtualKeyboard> open(const std::string& display);
  ~VirtualKeyboard();
  VirtualKeyboard(const VirtualKeyboard&) = delete;
  VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

  // Presses and releases each key in turn; returns once the compositor has them.
  void tap(std::initializer_list<unsigned> keys);
  // Types digits and lower-case letters.
  void type(const std::string& text);

 private:
  VirtualKeyboard() = default;
  struct Objects;
  std::unique_ptr<Objects> objects_;
  unsigned time_ = 1;
};

}  // namespace orvel::waylandtest
