// Pictures of a sway rig's screen taken with grim, the truth that the Wayland tests and the demo
// compare with.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "rgba_png.h"
#include "sway_rig.h"

namespace orvel::waylandtest {

// grim's picture of `geometry` ("x,y wxh"), at `scale` (0: grim's choice).
inline std::optional<RgbaPicture> grim(SwayRig& rig, const std::string& geometry,
                                       const std::string& file, int scale = 0) {
  std::vector<std::string> argv = {"grim"};
  if (scale) argv.insert(argv.end(), {"-s", std::to_string(scale)});
  argv.insert(argv.end(), {"-g", geometry, file});
  if (rig.run(argv) != 0) return std::nullopt;
  return readRgbaPng(file);
}

inline bool uniform(const RgbaPicture& picture) {
  for (std::size_t i = 4; i < picture.rgba.size(); ++i) {
    if (picture.rgba[i] != picture.rgba[i % 4]) return false;
  }
  return true;
}

}  // namespace orvel::waylandtest
