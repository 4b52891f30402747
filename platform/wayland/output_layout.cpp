#include "platform/wayland/output_layout.h"

#include <algorithm>

namespace orvel::wayland {

OutputLayout::OutputLayout(std::vector<OutputGeometry> outputs) {
  for (auto& o : outputs) {
    if (o.logical.width > 0 && o.logical.height > 0 && o.pixelWidth > 0 && o.pixelHeight > 0)
      outputs_.push_back(std::move(o));
  }
  auto main = std::find_if(outputs_.begin(), outputs_.end(), [](const OutputGeometry& o) {
    return o.logical.x == 0 && o.logical.y == 0;
  });
  if (main != outputs_.end()) std::rotate(outputs_.begin(), main, main + 1);
  if (!outputs_.empty()) origin_ = outputs_.front().logical.origin();
}

const OutputGeometry* OutputLayout::find(std::uint32_t id) const {
  for (const auto& o : outputs_) {
    if (o.id == id) return &o;
  }
  return nullptr;
}

double OutputLayout::scaleOf(const OutputGeometry& output) {
  return output.pixelWidth / output.logical.width;
}

std::vector<platform::ScreenInfo> OutputLayout::screens() const {
  std::vector<platform::ScreenInfo> out;
  if (outputs_.empty()) return out;
  const double mainHeight = outputs_.front().logical.height;
  for (const auto& o : outputs_) {
    const Rect g = toGlobal(o.logical);
    out.push_back({Rect{g.x, mainHeight - g.maxY(), g.width, g.height}, o.id, scaleOf(o)});
  }
  return out;
}

std::optional<Rect> OutputLayout::displayBounds(std::uint32_t id) const {
  if (const OutputGeometry* o = find(id)) return toGlobal(o->logical);
  return std::nullopt;
}

}  // namespace orvel::wayland
