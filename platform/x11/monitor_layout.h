// The monitors of the X screen and the mapping between root-window pixels and the helpers' points.
//
// Global display coordinates are root coordinates relative to the main monitor's top-left corner,
// divided by the backing scale. The main monitor is the RandR primary monitor, else the one at the
// root's origin, else the first. One scale applies to the whole desktop: Xft.dpi / 96 when the
// desktop sets Xft.dpi, else 1.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "orvel/common/geometry.h"
#include "platform/x11/x11_connection.h"

namespace orvel::x11 {

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
  PixelRect intersection(const PixelRect& o) const;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Where a panel sits: its root pixels and the desktop's scale, which give its size in points.
struct PanelPlacement {
  PixelRect pixels;
  double scale = 1;
  Size size() const { return {pixels.width / scale, pixels.height / scale}; }
};

struct Monitor {
  std::uint32_t id = 0;  // the monitor's name atom: stable while the monitor exists
  PixelRect pixels;      // root coordinates
  bool primary = false;
};

class MonitorLayout {
 public:
  // Reads the monitors (RandR 1.5; the whole root when RandR has none) and Xft.dpi in one round
  // trip.
  static MonitorLayout read(X11Connection& connection);
  MonitorLayout(std::vector<Monitor> monitors, double scale, PixelRect root);

  // Main monitor first, then the others in RandR order.
  const std::vector<Monitor>& monitors() const { return monitors_; }
  const Monitor* find(std::uint32_t id) const;
  double scale() const { return scale_; }
  const PixelRect& root() const { return root_; }

  Rect toGlobal(const PixelRect& pixels) const;
  Point toGlobal(double rootX, double rootY) const;
  // Root pixel coordinates of a global point.
  Point toRoot(Point global) const;
  // The smallest pixel rectangle that holds a global rectangle.
  PixelRect toRootPixels(const Rect& global) const;
  // The same for a rectangle in screen coordinates (y up from the main monitor's bottom edge).
  PixelRect screenToRootPixels(const Rect& inScreen) const;
  // Where a panel over `inScreen` (screen coordinates) sits.
  PanelPlacement placePanel(const Rect& inScreen) const {
    return {screenToRootPixels(inScreen), scale_};
  }
  // Height of the main monitor in points: screen coordinates flip y around it.
  double mainHeight() const;

 private:
  std::vector<Monitor> monitors_;
  double scale_ = 1.0;
  PixelRect root_;
};

// The Xft.dpi value of an X resource database text, if it holds one.
std::optional<double> xftDpi(std::string_view resources);

}  // namespace orvel::x11
