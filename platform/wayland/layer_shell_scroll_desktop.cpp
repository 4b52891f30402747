#include "platform/wayland/layer_shell_scroll_desktop.h"

namespace orvel::wayland {

LayerShellScrollDesktop::~LayerShellScrollDesktop() {
  stop();
}

}  // namespace orvel::wayland
