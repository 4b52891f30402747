// Overlay panels: borderless windows above everything, one per screen, that show what the helper
// tells them and pass their mouse and key input to it.
//
// Panel frames are in screen coordinates (points, origin at the bottom-left corner of the main
// display, y up). Inside a panel, window coordinates: origin at the panel's bottom-left corner,
// y up, in points.
//
// Threads: everything here is called on the loop thread, and the panels call their view back on
// the loop thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "orvel/common/geometry.h"
#include "orvel/common/image.h"

namespace orvel::platform {

struct Color {
  double red = 0, green = 0, blue = 0, alpha = 1;
  friend bool operator==(const Color&, const Color&) = default;
};

// A line of text in the system font.
struct PanelText {
  std::string text;
  double fontSize = 0;
  friend bool operator==(const PanelText&, const PanelText&) = default;
};

// A rectangle's edges stroked `lineWidth` points wide, centred on them.
struct Outline {
  Rect rect;  // window coordinates
  double lineWidth = 0;
  friend bool operator==(const Outline&, const Outline&) = default;
};

// What a panel shows. Every panel draws it the same way, composited source-over, in this order:
//   1. `picture` (the frozen screen of the panel's display), scaled to fill the panel;
//   2. `veil`, filling the whole panel;
//   3. `instruction` in white, its baseline starting at instructionOrigin(panel height);
//   4. `selection` outlined in white.
// A part left empty draws nothing.
struct PanelContent {
  std::shared_ptr<const Image> picture;
  Color veil{0, 0, 0, 0};
  PanelText instruction;
  std::optional<Outline> selection;
};

// Where the instruction's baseline starts, in window coordinates: 35 points from the left edge,
// 70 below the top.
inline Point instructionOrigin(double panelHeight) {
  return {35, panelHeight - 70};
}

// The two parts of the content that change independently: the backdrop (picture, veil and
// instruction, drawn once per picture) and the selection (changing at every drag).
enum class PanelPart { kBackdrop, kSelection };

// The helper's side of a panel: its input, in window coordinates.
class OverlayView {
 public:
  virtual ~OverlayView() = default;
  virtual void mouseDown(Point) {}
  virtual void mouseDragged(Point) {}
  virtual void mouseUp(Point) {}
  virtual void keyDown(std::uint16_t /*keyCode*/) {}
  // The window system has shown a frame of the panel with its picture for the first time; called
  // once per panel, by the overlays that can tell (a frame callback), for measuring the freeze.
  virtual void pictureShown() {}
};

struct PanelOptions {
  Rect frame;        // screen coordinates
  int level = 1000;  // window level; overlays sit at the screen-saver level
  bool ignoresMouse = false;
};

// A panel retains its content: the helper sets the parts, and the panel redraws what changed by
// itself (on a later turn of the loop, several changes in one turn giving one redraw), and again
// whenever the window system asks it to.
class OverlayPanel {
 public:
  // Destroying a panel closes it.
  virtual ~OverlayPanel() = default;
  // Orders the panel front; with `makeKey`, it becomes the key window and its view receives keys.
  virtual void show(bool makeKey) = 0;
  // Orders the panel out and closes it; the view gets no more calls.
  virtual void close() = 0;
  virtual Rect frame() const = 0;
  virtual Point convertToScreen(Point inWindow) const = 0;
  virtual Rect convertFromScreen(const Rect& inScreen) const = 0;

  void setPicture(std::shared_ptr<const Image> picture) {
    if (picture == content_.picture) return;
    content_.picture = std::move(picture);
    contentChanged(PanelPart::kBackdrop);
  }
  void setVeil(Color veil) {
    if (veil == content_.veil) return;
    content_.veil = veil;
    contentChanged(PanelPart::kBackdrop);
  }
  void setInstruction(PanelText instruction) {
    if (instruction == content_.instruction) return;
    content_.instruction = std::move(instruction);
    contentChanged(PanelPart::kBackdrop);
  }
  // Nothing for no selection.
  void setSelection(std::optional<Outline> selection) {
    if (selection == content_.selection) return;
    content_.selection = selection;
    contentChanged(PanelPart::kSelection);
  }
  const PanelContent& content() const { return content_; }

 protected:
  // After a setter changed `part` of the content.
  virtual void contentChanged(PanelPart /*part*/) {}

 private:
  PanelContent content_;
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
