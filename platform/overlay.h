// Overlay panels: borderless windows above everything, one per screen, whose content the helper
// draws and whose mouse and key input it receives.
//
// Panel frames are in screen coordinates (points, origin at the bottom-left corner of the main
// display, y up). Inside a panel, window and view coordinates coincide: origin at the panel's
// bottom-left corner, y up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "orvel/common/geometry.h"
#include "orvel/common/image.h"

namespace orvel::platform {

struct Color {
  double red = 0, green = 0, blue = 0, alpha = 1;
  friend bool operator==(const Color&, const Color&) = default;
};

// Drawing operations in view coordinates, composited source-over.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual void fill(const Rect& rect, Color color) = 0;
  // Text in the system font, `origin` at the start of its baseline.
  virtual void drawText(const std::string& text, Point origin, double fontSize, Color color) = 0;
  virtual void strokeRect(const Rect& rect, Color color, double lineWidth) = 0;
  // `image` scaled to fill `dest`.
  virtual void drawImage(const Image& image, const Rect& dest, double alpha) = 0;
};

// The helper's side of a panel: drawing and input. Locations are in window coordinates.
class OverlayView {
 public:
  virtual ~OverlayView() = default;
  virtual void draw(Canvas& canvas, const Rect& bounds) = 0;
  virtual void mouseDown(Point) {}
  virtual void mouseDragged(Point) {}
  virtual void mouseUp(Point) {}
  virtual void keyDown(std::uint16_t /*keyCode*/) {}
};

struct PanelOptions {
  Rect frame;        // screen coordinates
  int level = 1000;  // window level; overlays sit at the screen-saver level
  bool ignoresMouse = false;
};

class OverlayPanel {
 public:
  // Destroying a panel closes it.
  virtual ~OverlayPanel() = default;
  // Orders the panel front; with `makeKey`, it becomes the key window and its view receives keys.
  virtual void show(bool makeKey) = 0;
  // Orders the panel out and closes it; the view gets no more calls.
  virtual void close() = 0;
  virtual void setNeedsDisplay() = 0;
  virtual Rect frame() const = 0;
  virtual Point convertToScreen(Point inWindow) const = 0;
  virtual Rect convertFromScreen(const Rect& inScreen) const = 0;
};

enum class CursorKind { Arrow, Crosshair };

class Overlay {
 public:
  virtual ~Overlay() = default;
  // `view` must outlive the panel.
  virtual std::unique_ptr<OverlayPanel> createPanel(const PanelOptions& options,
                                                    OverlayView& view) = 0;
  virtual void pushCursor(CursorKind cursor) = 0;
  virtual void popCursor() = 0;
  virtual void setCursor(CursorKind cursor) = 0;
};

}  // namespace orvel::platform
