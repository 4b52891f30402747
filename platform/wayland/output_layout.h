// The compositor's outputs as the helpers see them. Output geometry is in the compositor's logical
// layout (points, y down); the layout's main output is the one at 0,0 (else the first), and it is
// the origin of global display coordinates. Screen coordinates put the origin at the main output's
// bottom-left corner, y up. Pure logic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "orvel/common/geometry.h"
#include "platform/screens.h"

namespace orvel::wayland {

struct OutputGeometry {
  std::uint32_t id = 0;  // the compositor's global name of the wl_output
  std::string name;
  Rect logical;        // logical layout, points
  int pixelWidth = 0;  // the current mode, as the output shows it (after its transform)
  int pixelHeight = 0;
  friend bool operator==(const OutputGeometry&, const OutputGeometry&) = default;
};

class OutputLayout {
 public:
  OutputLayout() = default;
  // Outputs without a logical size or a mode are left out.
  explicit OutputLayout(std::vector<OutputGeometry> outputs);

  // The main output first, then the others in the order given.
  const std::vector<OutputGeometry>& outputs() const { return outputs_; }
  const OutputGeometry* find(std::uint32_t id) const;
  Rect toGlobal(const Rect& logical) const { return logical.offsetBy(-origin_.x, -origin_.y); }
  // Pixels per point; a fractional scale shows as such.
  static double scaleOf(const OutputGeometry& output);
  std::vector<platform::ScreenInfo> screens() const;
  std::optional<Rect> displayBounds(std::uint32_t id) const;

 private:
  std::vector<OutputGeometry> outputs_;
  Point origin_;
};

}  // namespace orvel::wayland
